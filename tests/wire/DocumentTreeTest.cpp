// A read document's tree lives as long as any part of it is held: parts taken out outlive it,
// a failed reading releases what it had read (large texts, repeated keys, keys not in NFC), and
// the sole holder of a document takes a member over whole.
#include "TarnwickApple/JSON/JSONValue.hpp"

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace TarnwickApple {
namespace {

const std::string large(JSONValue::longestBlockString + 1, 'L');  // a string of its own
const std::string block(JSONValue::longestInPlaceString + 1, 'b');  // a string in a block
const std::string decomposedKey = "cafe\xCC\x81";                    // not its own NFC form

// The pieces of a text, joined.
std::string joined(std::initializer_list<std::string_view> pieces) {
  std::string text;
  for (const std::string_view piece : pieces) text.append(piece);
  return text;
}

std::string inQuotes(std::string_view text) { return joined({"\"", text, "\""}); }

// The value at `path` (object keys, or array indices written as digits) in a copy that outlives
// the document it was read from.
JSONValue partOf(const std::string& text, const std::vector<std::string>& path) {
  JSONValue part = JSONValue::decode(text);
  for (const std::string& step : path) {
    if (const JSONElements* elements = part.arrayValue()) {
      part = JSONValue((*elements)[std::stoul(step)]);
    } else {
      part = JSONValue(*part[step]);
    }
  }
  return part;
}

TEST(DocumentTree, PartsOutliveTheDocument) {
  const struct {
    std::string document;
    std::vector<std::string> path;
    std::string part;  // the part's own text
  } table[] = {
      {joined({"[", inQuotes(block), ",", inQuotes(large), "]"}), {"1"}, inQuotes(large)},
      {joined({"[", inQuotes(block), ",", inQuotes(large), "]"}), {"0"}, inQuotes(block)},
      {joined({"{", inQuotes(large), ":{\"k\":[", inQuotes(block), "]}}"}), {large, "k"}, joined({"[", inQuotes(block), "]"})},
      // A repeated key: the last value is kept, the others released with the document.
      {joined({"{\"a\":", inQuotes(large), ",\"a\":[", inQuotes(large), "],\"a\":{\"b\":", inQuotes(block), "}}"}), {"a"},
       joined({"{\"b\":", inQuotes(block), "}"})},
      {joined({"{", inQuotes(decomposedKey), ":", inQuotes(large), ",\"z\":[1,{\"y\":", inQuotes(block), "}]}"}), {"z", "1"},
       joined({"{\"y\":", inQuotes(block), "}"})},
      {joined({"{", inQuotes(decomposedKey), ":[", inQuotes(large), "]}"}), {"caf\xC3\xA9"}, joined({"[", inQuotes(large), "]"})},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.document.substr(0, 80));
    EXPECT_EQ(partOf(row.document, row.path), JSONValue::decode(row.part));
  }
}

// Each text reads large texts, blocks, repeated and decomposed keys, then fails; what it read is
// released (the sanitized build finds a leak or a second release).
TEST(DocumentTree, AFailedReadingReleasesWhatItRead) {
  const std::string opened = joined({"{", inQuotes(decomposedKey), ":", inQuotes(large), ",\"a\":[", inQuotes(large), ",",
                                     inQuotes(block), ",{\"a\":", inQuotes(large), ",\"a\":", inQuotes(large)});
  const struct {
    std::string text;
    std::size_t offset;
    std::string reason;
  } table[] = {
      {opened, opened.size(), "an unexpected end of the text"},
      {opened + ",", opened.size() + 1, "an unexpected end of the text"},
      {opened + "}]", opened.size() + 2, "an unexpected end of the text"},
      {joined({opened, "}],", inQuotes(large), ":"}), opened.size() + 3 + large.size() + 3, "an unexpected end of the text"},
      {opened + "}}", opened.size() + 1, "unexpected character"},
      {joined({opened, "}]}", inQuotes(large)}), opened.size() + 3, "two JSON values"},
      {joined({"[", inQuotes(large), ",1e999]"}), large.size() + 4, "a number out of range"},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.text.size());
    try {
      JSONValue::decode(row.text);
      ADD_FAILURE() << "read";
    } catch (const JSONValue::DecodeError& error) {
      EXPECT_EQ(error.offset(), row.offset);
      EXPECT_EQ(error.reason(), row.reason);
    }
  }
}

// The one holder of a read document takes a member out without copying it, so a request's
// megabyte prompt is handed over whole; while the document is held elsewhere, the member is
// copied and the document keeps it.
TEST(DocumentTree, TheSoleHolderTakesAMemberWhole) {
  const std::string text = joined({"{\"prompt\":", inQuotes(large), ",\"schema\":{\"type\":", inQuotes(block), "}}"});
  for (const bool shared : {false, true}) {
    SCOPED_TRACE(shared);
    JSONValue document = JSONValue::decode(text);
    JSONObject members = *document.objectValue();
    if (!shared) document = JSONValue();
    const char* held = members.find("prompt")->stringValue()->data();
    std::optional<JSONValue> prompt = members.extract("prompt");
    ASSERT_TRUE(prompt);
    const std::optional<std::string> released = JSONValue::releaseString(std::move(*prompt));
    ASSERT_TRUE(released);
    EXPECT_EQ(*released, large);
    EXPECT_EQ(released->data() == held, !shared);
    EXPECT_EQ(members.size(), 1u);
    const JSONValue schema = *members.find("schema");
    members = JSONObject();
    EXPECT_EQ(schema, JSONValue::decode(joined({"{\"type\":", inQuotes(block), "}"})));
    if (shared) {
      EXPECT_EQ(*document["prompt"], JSONValue::string(large));
    }
  }
}

}  // namespace
}  // namespace TarnwickApple
