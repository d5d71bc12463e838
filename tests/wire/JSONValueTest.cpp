// The JSON value tree: reading, number classification, accessors, equality, limits.
#include "TarnwickApple/JSON/JSONValue.hpp"
#include "TarnwickApple/JSON/internal/ChunkedReading.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>

namespace TarnwickApple {
namespace {

using Case = JSONValue::Case;

TEST(JSONValueDecode, MixedArrayKeepsCasesAndOrder) {
  const JSONValue v = JSONValue::decode(R"([1, 1.5, "s", null, true, {"k": []}])");
  const JSONElements a = *v.arrayValue();
  ASSERT_EQ(a.size(), 6u);
  EXPECT_EQ(a[0], JSONValue::integer(1));
  EXPECT_EQ(a[1], JSONValue::number(1.5));
  EXPECT_EQ(a[2], JSONValue::string("s"));
  EXPECT_TRUE(a[3].isNull());
  EXPECT_EQ(a[4], JSONValue::boolean(true));
  ASSERT_EQ(a[5].kind(), Case::object);
  ASSERT_NE(a[5]["k"], nullptr);
  EXPECT_EQ(a[5]["k"]->arrayValue()->size(), 0u);
}

struct NumberCase {
  const char* text;
  Case kind;
  std::int64_t integer;  // when kind is integer
};

TEST(JSONValueDecode, NumberClassification) {
  const NumberCase cases[] = {
      {"3", Case::integer, 3},
      {"3.0", Case::integer, 3},
      {"3e0", Case::integer, 3},
      {"30e-1", Case::integer, 3},
      {"1.5e1", Case::integer, 15},
      {"-0.0", Case::integer, 0},
      {"-9223372036854775808", Case::integer, std::numeric_limits<std::int64_t>::min()},
      {"9223372036854775807", Case::integer, std::numeric_limits<std::int64_t>::max()},
      {"9223372036854775807.0", Case::integer, std::numeric_limits<std::int64_t>::max()},
      {"-9223372036854775808.0", Case::integer, std::numeric_limits<std::int64_t>::min()},
      {"2.5", Case::number, 0},
      {"9223372036854775808", Case::number, 0},
      {"-9223372036854775809", Case::number, 0},
      {"18446744073709551615", Case::number, 0},
      {"18446744073709551616", Case::number, 0},
      {"1e19", Case::number, 0},
      {"1e-400", Case::number, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const JSONValue v = JSONValue::decode(c.text);
    EXPECT_EQ(v.kind(), c.kind);
    if (c.kind == Case::integer) {
      EXPECT_EQ(v.integerValue(), c.integer);
    }
  }
}

TEST(JSONValueDecode, UnsignedReadingIsExact) {
  EXPECT_EQ(JSONValue::decode("18446744073709551615").unsignedValue(), std::numeric_limits<std::uint64_t>::max());
  EXPECT_EQ(JSONValue::decode("1.8446744073709551615e19").unsignedValue(), std::numeric_limits<std::uint64_t>::max());
  EXPECT_EQ(JSONValue::decode("9223372036854775808").unsignedValue(), 9223372036854775808ull);
  EXPECT_EQ(JSONValue::decode("18446744073709551616").unsignedValue(), std::nullopt);
  EXPECT_EQ(JSONValue::decode("-1").unsignedValue(), std::nullopt);
  EXPECT_EQ(JSONValue::decode("0.5").unsignedValue(), std::nullopt);
  EXPECT_EQ(JSONValue::decode("7").unsignedValue(), 7u);
}

TEST(JSONValueDecode, RefusesWhatIsNotOneValue) {
  const char* bad[] = {"", " ", "1e400", "-1e400", "[1,]", "{\"a\":1,}", "tru", "1 2", "\"\\ud800\"",
                       "\"\\udc00\\ud800\"", "\"\xff\"", "\"\xc0\xaf\"", "\"\xed\xa0\x80\"", "[1]x", "\x00", "01"};
  for (const char* text : bad) {
    SCOPED_TRACE(text);
    EXPECT_THROW(JSONValue::decode(text), JSONValue::DecodeError);
  }
  EXPECT_THROW(JSONValue::decode(std::string_view("[1]\0", 4)), JSONValue::DecodeError);
}

TEST(JSONValueDecode, FailuresSayWhere) {
  const std::pair<std::string, std::pair<std::size_t, std::string>> table[] = {
      // Where a reader notices that nothing came differs between readers: not checked.
      {"", {std::string::npos, "no JSON value"}},
      {"  \n", {std::string::npos, "no JSON value"}},
      {"[1] [2]", {4, "two JSON values"}},
      {std::string("[1,\0]", 5), {3, "a NUL byte"}},
      {std::string(600, '[') , {512, "nesting deeper than 512"}},
      {"{\"a\":\"\xff\"}", {6, "invalid UTF-8"}},
  };
  for (const auto& [text, expected] : table) {
    SCOPED_TRACE(text.substr(0, 20));
    try {
      JSONValue::decode(text);
      ADD_FAILURE() << "decoded";
    } catch (const JSONValue::DecodeError& error) {
      if (expected.first != std::string::npos) {
        EXPECT_EQ(error.offset(), expected.first);
      }
      EXPECT_EQ(error.reason(), expected.second);
      EXPECT_EQ(std::string(error.what()), expected.second);
    }
  }
  // Pieces are placed in the whole input.
  try {
    JSONValue::decodeReleasing({"[1,", std::string("2,\0]", 4)});
    ADD_FAILURE() << "decoded";
  } catch (const JSONValue::DecodeError& error) {
    EXPECT_EQ(error.offset(), 5u);
  }
}

TEST(JSONValueDecode, AcceptsByteOrderMarkAndWhiteSpace) {
  EXPECT_EQ(JSONValue::decode("\xEF\xBB\xBF {\"a\":1}\r\n"), JSONValue::decode("{\"a\":1}"));
  EXPECT_EQ(*JSONValue::decode(R"("a\u0000b")").stringValue(), std::string("a\0b", 3));
}

TEST(JSONValueDecode, NestingLimit) {
  const auto nested = [](std::size_t depth, bool objects) {
    std::string s;
    for (std::size_t i = 0; i < depth; ++i) s += objects ? "{\"a\":" : "[";
    s += "0";
    for (std::size_t i = 0; i < depth; ++i) s += objects ? "}" : "]";
    return s;
  };
  for (bool objects : {false, true}) {
    const JSONValue deepest = JSONValue::decode(nested(JSONValue::maximumNesting, objects));
    const JSONValue copy = deepest;  // copying and destroying the deepest tree is safe
    EXPECT_EQ(copy, deepest);
    EXPECT_THROW(JSONValue::decode(nested(JSONValue::maximumNesting + 1, objects)), JSONValue::DecodeError);
    EXPECT_THROW(JSONValue::decode(nested(100000, objects)), JSONValue::DecodeError);
  }
}

TEST(JSONValueDecode, DuplicateAndEquivalentKeysLastWins) {
  const JSONValue v = JSONValue::decode(R"({"a":1,"a":2,"caf\u00e9":3,"cafe\u0301":4})");
  EXPECT_EQ(v.objectValue()->size(), 2u);
  EXPECT_EQ(v["a"]->integerValue(), 2);
  EXPECT_EQ(v["caf\xC3\xA9"]->integerValue(), 4);
  EXPECT_EQ(v["cafe\xCC\x81"]->integerValue(), 4);
}

TEST(JSONValueAccessors, AbsentForOtherCases) {
  EXPECT_EQ(JSONValue::decode("{}")["x"], nullptr);
  EXPECT_EQ(JSONValue::decode("[1]")["x"], nullptr);
  EXPECT_EQ(JSONValue::string("x")["x"], nullptr);
  EXPECT_EQ(JSONValue::null()["x"], nullptr);
  EXPECT_EQ(JSONValue::integer(7).stringValue(), std::nullopt);
  EXPECT_EQ(JSONValue::string("1.5").doubleValue(), std::nullopt);
  EXPECT_EQ(JSONValue::boolean(true).integerValue(), std::nullopt);
  EXPECT_EQ(JSONValue::string("1").integerValue(), std::nullopt);
  EXPECT_EQ(JSONValue::decode("1").boolValue(), std::nullopt);
}

TEST(JSONValueAccessors, IntegerReadingOfNumbers) {
  EXPECT_EQ(JSONValue::number(3.0).integerValue(), 3);
  EXPECT_EQ(JSONValue::number(3.5).integerValue(), std::nullopt);
  EXPECT_EQ(JSONValue::number(-0.0).integerValue(), 0);
  EXPECT_EQ(JSONValue::number(9223372036854775808.0).integerValue(), std::nullopt);
  EXPECT_EQ(JSONValue::number(-9223372036854775808.0).integerValue(), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(JSONValue::number(std::nan("")).integerValue(), std::nullopt);
  EXPECT_EQ(JSONValue::number(INFINITY).integerValue(), std::nullopt);
  EXPECT_EQ(JSONValue::integer((1LL << 53) + 1).doubleValue(), 9007199254740992.0);
}

// Short strings are held in place, longer ones in a shared block, the longest in a string of their
// own: either side of each boundary a string reads, compares (canonically, across the two forms)
// and is released the same, read or built, and a released copy leaves the original whole.
TEST(JSONValueStrings, InPlaceBlockAndLargeAgree) {
  for (const std::size_t longest : {JSONValue::longestInPlaceString, JSONValue::longestBlockString}) {
    const std::size_t filler = longest - 5;
    const std::string composed = std::string(filler, 'a') + "caf\xC3\xA9";     // the longest held this way
    const std::string decomposed = std::string(filler, 'a') + "cafe\xCC\x81";  // one byte more: the next way
    EXPECT_EQ(JSONValue::string(composed), JSONValue::string(decomposed));
    EXPECT_EQ(JSONValue::decode("[\"" + decomposed + "\"]"), JSONValue::array({JSONValue::string(composed)}));
    for (const std::string& text : {std::string(), std::string(16, 'x'), composed, decomposed}) {
      for (const JSONValue& original : {JSONValue::string(text), JSONValue::decode("\"" + text + "\"")}) {
        EXPECT_EQ(*original.stringValue(), text);
        EXPECT_EQ(original.kind(), JSONValue::Case::string);
        JSONValue copy = original;
        EXPECT_EQ(JSONValue::releaseString(std::move(copy)), text);
        EXPECT_TRUE(copy.isNull());
        EXPECT_EQ(*original.stringValue(), text);
      }
    }
  }
}

// A large string no other value shares is handed over without a copy: the released text is the
// very buffer the value held.
TEST(JSONValueStrings, SoleLargeStringIsMovedOut) {
  JSONValue value = JSONValue::decode("\"" + std::string(JSONValue::longestBlockString + 1, 'p') + "\"");
  const char* held = value.stringValue()->data();
  const std::optional<std::string> released = JSONValue::releaseString(std::move(value));
  ASSERT_TRUE(released);
  EXPECT_EQ(released->data(), held);
}

// A value can take the place of the container that holds it: the last copy of the container
// goes only once the value is out.
TEST(JSONValueAssignment, AValueReplacesItsOwnContainer) {
  JSONValue value = JSONValue::decode(R"([{"k":["a long string held in a block"]}])");
  value = (*value.arrayValue())[0];
  value = *value["k"];
  value = (*value.arrayValue())[0];
  EXPECT_EQ(value, JSONValue::string("a long string held in a block"));
}

TEST(JSONValueEquality, CasesAndPayloads) {
  EXPECT_FALSE(JSONValue::integer(1) == JSONValue::number(1.0));
  EXPECT_EQ(JSONValue::number(0.0), JSONValue::number(-0.0));
  EXPECT_EQ(JSONValue::string("caf\xC3\xA9"), JSONValue::string("cafe\xCC\x81"));
  EXPECT_EQ(JSONValue::decode(R"({"a":1,"b":2})"), JSONValue::decode(R"({"b":2,"a":1})"));
  EXPECT_FALSE(JSONValue::decode("[1,2]") == JSONValue::decode("[2,1]"));
  EXPECT_FALSE(JSONValue::decode(R"({"a":1})") == JSONValue::decode(R"({"a":1,"b":1})"));
  EXPECT_FALSE(JSONValue::boolean(true) == JSONValue::integer(1));
  EXPECT_EQ(JSONValue::null(), JSONValue::decode("null"));
}

// A text read with a few positions held at a time is the same tree: chunks end inside keys,
// empty containers, escaped strings, literals followed by white space, and deep nesting.
TEST(JSONValueDecode, InChunksGivesTheSameTree) {
  const std::string texts[] = {
      R"({"a": [1, 2.5, "x\"y", {}, [], {"b": null}], "c": {"d": [[], [{}]]}, "e": true , "f":false})",
      R"([{}, {}, {}, [], [[]], [{}], {"k": {}}, "\u00e9\ud83d\ude00", -0.5e3 ,7 ])",
      "\xEF\xBB\xBF[\n1,\t\"two\" , [3] ]\n",
      std::string(100, '[') + "1" + std::string(100, ']'),
      R"("a lone string")",
      "  42  ",
  };
  for (const std::string& text : texts) {
    const JSONValue whole = JSONValue::decode(text);
    for (std::size_t chunk = 2; chunk <= 7; ++chunk) {
      SCOPED_TRACE(text + " in chunks of " + std::to_string(chunk));
      EXPECT_EQ(internal::decodeInChunks(text, chunk), whole);
    }
  }
}

}  // namespace
}  // namespace TarnwickApple
