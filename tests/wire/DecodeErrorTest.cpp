// Where and why the reader refuses a text: the byte offset counted from the start of the whole
// input (a byte-order mark included) and the short reason, the same for a text read in pieces
// and for one whose positions are held a few at a time, as a large text's are.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "TarnwickApple/JSON/JSONValue.hpp"
#include "TarnwickApple/JSON/internal/ChunkedReading.hpp"
#include "TarnwickApple/JSON/internal/StructuralIndex.hpp"

namespace TarnwickApple {
namespace {

struct DecodeErrorCase {
  const char* name;
  std::string text;
  std::size_t offset;
  const char* reason;
};

void PrintTo(const DecodeErrorCase& c, std::ostream* os) { *os << c.name; }

const std::string deep = std::string(513, '[') + std::string(513, ']');

const DecodeErrorCase decodeErrorCases[] = {
    {"Empty", "", 0, "no JSON value"},
    {"OnlyWhiteSpace", " \n\t", 3, "no JSON value"},
    {"OnlyByteOrderMark", "\xEF\xBB\xBF", 3, "no JSON value"},
    {"Nul", std::string("[1,\0]", 5), 3, "a NUL byte"},
    {"InvalidUTF8", "[\"ab\xFF\"]", 4, "invalid UTF-8"},
    {"Overlong", "{\"a\":\"\xC0\xAF\"}", 6, "invalid UTF-8"},
    {"UnterminatedString", "[1, \"abc", 4, "unterminated string"},
    {"ControlCharacter", "[\"a\tb\"]", 3, "a control character in a string"},
    {"EscapedControlCharacter", "[\"a\\\x01\"]", 4, "a control character in a string"},
    // Stops found sixteen bytes at a time: in a later block, and at each place in a block.
    {"ControlCharacterInALaterBlock", "[\"0123456789abcdefghij\x1f\"]", 22, "a control character in a string"},
    {"ControlCharacterLastInABlock", "\"0123456789abcde\n\"", 16, "a control character in a string"},
    {"UnterminatedAfterEscapedQuote", "[\"0123456789abcdefgh\\\"]", 1, "unterminated string"},
    {"ControlCharacterBeforeInvalidUTF8", "[\"a\x01\xFF\"]", 3, "a control character in a string"},
    {"InvalidUTF8InUnterminatedString", "[\"abc\xFF", 5, "invalid UTF-8"},
    {"InvalidUTF8OutsideStrings", "[1, \xE2\x82]", 4, "invalid UTF-8"},
    {"LiteralAfterString", "[\"a\"b]", 4, "unexpected character"},
    {"TrailingComma", "[1,]", 3, "unexpected character"},
    {"MissingColon", "{\"a\" 1}", 5, "unexpected character"},
    {"BareWord", "[nul]", 1, "unexpected character"},
    {"LeadingZero", "[01]", 1, "a malformed number"},
    {"OutOfRange", "{\"a\":-1e400}", 5, "a number out of range"},
    // Text that is not JSON is that, whatever number came before.
    {"OutOfRangeThenTrailingComma", "[1e400,]", 7, "unexpected character"},
    {"OutOfRangeThenUnclosed", "[1e400", 6, "an unexpected end of the text"},
    {"InvalidEscape", "\"a\\x\"", 2, "an invalid escape"},
    {"LoneSurrogate", "[\"\\udc00\"]", 2, "a lone surrogate escape"},
    {"HighSurrogateAlone", "\"\\ud800x\"", 1, "a lone surrogate escape"},
    {"Unclosed", "[1,2", 4, "an unexpected end of the text"},
    {"TwoValues", "{} []", 3, "two JSON values"},
    {"OffsetAfterByteOrderMark", "\xEF\xBB\xBF[1 2]", 6, "unexpected character"},
    {"TooDeep", deep, 512, "nesting deeper than 512"},
    // Faults well past the first few positions, and the scan's faults before any of the grammar's.
    {"UnclosedAfterManyMembers", "[{},[],{\"a\":1},[2,3],{},{}", 26, "an unexpected end of the text"},
    {"UnexpectedAfterManyMembers", "[{},[],{\"a\":1},[2,3],{},{}}", 26, "unexpected character"},
    {"TwoValuesAfterManyMembers", "[{},[],{\"a\":1},[2,3],{},{}] 1", 28, "two JSON values"},
    {"ScanFaultAfterGrammarFault", "[1 2, {}, {}, [], \"ab\x01\"]", 21, "a control character in a string"},
    {"InvalidUTF8AfterGrammarFault", "{]: [], [], [], \"\xFF\"", 17, "invalid UTF-8"},
    {"KeyAfterManyMembers", "{\"a\":{},\"b\":[],\"c\":{},\"d\" {}}", 26, "unexpected character"},
};

class DecodeErrorPlace : public testing::TestWithParam<DecodeErrorCase> {};

TEST_P(DecodeErrorPlace, WholeText) {
  const DecodeErrorCase& c = GetParam();
  try {
    JSONValue::decode(c.text);
    ADD_FAILURE() << "decoded";
  } catch (const JSONValue::DecodeError& error) {
    EXPECT_EQ(error.offset(), c.offset);
    EXPECT_EQ(error.reason(), c.reason);
    EXPECT_STREQ(error.what(), c.reason);
  }
}

TEST_P(DecodeErrorPlace, TextInPieces) {
  const DecodeErrorCase& c = GetParam();
  std::vector<std::string> pieces;
  for (std::size_t at = 0; at < c.text.size(); at += 2) pieces.push_back(c.text.substr(at, 2));
  try {
    JSONValue::decodeReleasing(std::move(pieces));
    ADD_FAILURE() << "decoded";
  } catch (const JSONValue::DecodeError& error) {
    EXPECT_EQ(error.offset(), c.offset);
    EXPECT_EQ(error.reason(), c.reason);
  }
}

// Positions held two, three or five at a time: the chunks end at every place in the grammar.
TEST_P(DecodeErrorPlace, InChunks) {
  const DecodeErrorCase& c = GetParam();
  for (const std::size_t chunk : {2, 3, 5}) {
    SCOPED_TRACE(chunk);
    try {
      internal::decodeInChunks(c.text, chunk);
      ADD_FAILURE() << "decoded";
    } catch (const JSONValue::DecodeError& error) {
      EXPECT_EQ(error.offset(), c.offset);
      EXPECT_EQ(error.reason(), c.reason);
    }
  }
}

// A number no double holds is JSON: the error says where the first such number stands and how
// it was written, a long literal cut short.
TEST(DecodeErrorOutOfRange, NamesWhereTheNumberStands) {
  const std::string digits(400, '9');
  const struct {
    std::string text;
    std::size_t offset;
    std::string pointer;
    std::string literal;
  } cases[] = {
      {"1e400", 0, "", "1e400"},
      {"\xEF\xBB\xBF[0, -1E+400]", 7, "/1", "-1E+400"},
      {R"({"a":[0,{"b/c~":1e400,"d":1e999}]})", 16, "/a/1/b~1c~0", "1e400"},
      {R"({"":[[],2e308]})", 8, "//1", "2e308"},
      {R"({"k":)" + digits + "}", 5, "/k", std::string(40, '9') + "\u2026"},
  };
  for (const auto& c : cases) {
    for (const std::size_t chunk : {std::size_t{2}, internal::indexChunk}) {
      SCOPED_TRACE(c.text + " in chunks of " + std::to_string(chunk));
      try {
        internal::decodeInChunks(c.text, chunk);
        ADD_FAILURE() << "decoded";
      } catch (const JSONValue::DecodeError& error) {
        EXPECT_EQ(error.offset(), c.offset);
        EXPECT_EQ(error.reason(), "a number out of range");
        ASSERT_TRUE(error.outOfRange().has_value());
        EXPECT_EQ(error.outOfRange()->pointer, c.pointer);
        EXPECT_EQ(error.outOfRange()->literal, c.literal);
      }
    }
  }
  try {
    JSONValue::decode("[1,]");
  } catch (const JSONValue::DecodeError& error) {
    EXPECT_FALSE(error.outOfRange().has_value());
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, DecodeErrorPlace, testing::ValuesIn(decodeErrorCases),
                         [](const testing::TestParamInfo<DecodeErrorCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace TarnwickApple
