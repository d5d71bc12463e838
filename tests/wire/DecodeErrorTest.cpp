// Where and why the reader refuses a text: the byte offset counted from the start of the whole
// input (a byte-order mark included) and the short reason, the same for a text read in pieces.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "TarnwickApple/JSONValue.hpp"

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
    {"TrailingComma", "[1,]", 3, "unexpected character"},
    {"MissingColon", "{\"a\" 1}", 5, "unexpected character"},
    {"BareWord", "[nul]", 1, "unexpected character"},
    {"LeadingZero", "[01]", 1, "a malformed number"},
    {"OutOfRange", "{\"a\":-1e400}", 5, "a number out of range"},
    {"InvalidEscape", "\"a\\x\"", 2, "an invalid escape"},
    {"LoneSurrogate", "[\"\\udc00\"]", 2, "a lone surrogate escape"},
    {"HighSurrogateAlone", "\"\\ud800x\"", 1, "a lone surrogate escape"},
    {"Unclosed", "[1,2", 4, "an unexpected end of the text"},
    {"TwoValues", "{} []", 3, "two JSON values"},
    {"OffsetAfterByteOrderMark", "\xEF\xBB\xBF[1 2]", 6, "unexpected character"},
    {"TooDeep", deep, 512, "nesting deeper than 512"},
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

INSTANTIATE_TEST_SUITE_P(Texts, DecodeErrorPlace, testing::ValuesIn(decodeErrorCases),
                         [](const testing::TestParamInfo<DecodeErrorCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace TarnwickApple
