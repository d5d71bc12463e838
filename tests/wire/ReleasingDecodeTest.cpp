// Decoding stdin in the pieces it was read in: the same value and the same refusals as decoding
// the whole text, wherever the piece boundaries fall (inside escapes, multi-byte characters, a
// byte-order mark or a number), and every piece released once read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TarnwickApple/JSON/JSONValue.hpp"
#include "TarnwickApple/Errors/SidecarError.hpp"
#include "TarnwickApple/Protocol/Wire.hpp"

namespace {

using TarnwickApple::JSONValue;
using TarnwickApple::Request;
using TarnwickApple::SidecarError;

// `text` cut every `width` bytes, with an empty piece after each cut.
std::vector<std::string> cut(const std::string& text, std::size_t width) {
  std::vector<std::string> pieces;
  for (std::size_t at = 0; at < text.size(); at += width) {
    pieces.push_back(text.substr(at, width));
    pieces.emplace_back();
  }
  return pieces;
}

const std::string document =
    "\xEF\xBB\xBF{\"prompt\":\"a\\\"b\\u00e9\xC3\xA9\\ud83d\\ude00\xF0\x9F\x98\x80\",\"use_case\":\"general\","
    "\"guardrails\":\"default\",\"options\":{\"temperature\":12.5e-1,\"sampling\":{\"mode\":\"random\","
    "\"seed\":18446744073709551615}},\"schema\":{\"enum\":[\"x\",[1,{\"y\":null}]]}}";

TEST(ReleasingDecode, SameRequestWhereverThePiecesEnd) {
  const Request whole = Request::decode(document);
  for (std::size_t width = 1; width <= document.size(); ++width) {
    SCOPED_TRACE(width);
    EXPECT_EQ(Request::decodeReleasing(cut(document, width)), whole);
  }
  EXPECT_EQ(Request::decodeReleasing({std::string(), document, std::string()}), whole);
}

TEST(ReleasingDecode, PiecesAreReleasedAndRefusalsAreTheSame) {
  std::vector<std::string> pieces = cut(document, 7);
  const JSONValue value = JSONValue::decodeReleasing(std::move(pieces));
  EXPECT_EQ(value, JSONValue::decode(document));
  EXPECT_TRUE(pieces.empty());  // taken over by the decoder, not left to the caller
  for (const std::string& bad : std::vector<std::string>{std::string(), std::string("{\"a\":1} x"), std::string("[1,2"),
                                std::string("\"a\0b\"", 5), std::string("\"\xC3\""), std::string("\"\\ud800\"")}) {
    for (const std::size_t width : {std::size_t{1}, std::size_t{3}}) {
      EXPECT_THROW(JSONValue::decodeReleasing(cut(bad, width)), JSONValue::DecodeError) << bad;
    }
  }
  EXPECT_THROW(Request::decodeReleasing({}), SidecarError);
  EXPECT_THROW(Request::decodeReleasing(cut("{\"prompt\":1}", 2)), SidecarError);
}

}  // namespace
