// A node's keyword table finds what the node itself finds, for every keyword and for any other
// name, so the translator reads the same members through it.
#include <gtest/gtest.h>

#include <set>
#include <span>
#include <string>
#include <string_view>

#include "TarnwickApple/JSON/JSONValue.hpp"
#include "TarnwickApple/Schema/internal/Keywords.hpp"

namespace {

using TarnwickApple::JSONValue;
using TarnwickApple::SchemaTranslator::Keyword;
using TarnwickApple::SchemaTranslator::keywordOf;
using TarnwickApple::SchemaTranslator::Keywords;

constexpr std::string_view keywords[] = {
    "$ref", "description", "title", "type", "enum", "const", "anyOf", "oneOf", "allOf", "not", "properties",
    "required", "x-order", "items", "prefixItems", "minItems", "maxItems", "additionalItems", "contains",
    "uniqueItems", "minContains", "maxContains", "unevaluatedItems", "additionalProperties", "patternProperties",
    "propertyNames", "minProperties", "maxProperties", "dependentRequired", "dependentSchemas", "dependencies",
    "unevaluatedProperties", "pattern", "minLength", "maxLength", "format", "contentEncoding", "contentMediaType",
    "minimum", "maximum", "exclusiveMinimum", "exclusiveMaximum", "multipleOf"};

// Names beside the keywords: near misses of each length, other cases, and a non-ASCII key.
constexpr std::string_view others[] = {"nor", "$reff", "Type", "types", "enun", "item", "itemz", "minimun",
                                       "$defs", "default", "examples", "$schema", "x-orde", "ref", "",
                                       "required ", "properties\u0301", "pattern\u00e9s"};

const std::span<const std::string_view> bothLists[] = {keywords, others};

TEST(Keywords, EveryKeywordIsItsOwnAndNothingElseIsOne) {
  std::set<Keyword> seen;
  for (const std::string_view name : keywords) {
    const auto keyword = keywordOf(name);
    ASSERT_TRUE(keyword) << name;
    EXPECT_TRUE(seen.insert(*keyword).second) << name << " shares its keyword";
  }
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(Keyword::count));
  for (const std::string_view name : others) EXPECT_FALSE(keywordOf(name)) << name;
}

TEST(Keywords, FindsWhatTheNodeFinds) {
  // Every keyword and every other name as a member, each with a value of its own.
  std::string text = "{";
  int value = 0;
  for (const std::span<const std::string_view> names : bothLists) {
    for (const std::string_view name : names) {
      text.append(value ? ",\"" : "\"").append(name).append("\":").append(std::to_string(value));
      ++value;
    }
  }
  const JSONValue document = JSONValue::decode(text + "}");
  const TarnwickApple::JSONObject& node = *document.objectValue();
  const Keywords table(node);
  for (const std::span<const std::string_view> names : bothLists) {
    for (const std::string_view name : names) {
      ASSERT_NE(node.find(name), nullptr) << name;
      EXPECT_EQ(table.find(name), node.find(name)) << name;
      if (const auto keyword = keywordOf(name)) {
        EXPECT_EQ(table[*keyword], node.find(name)) << name;
      }
    }
  }
  // A node without them finds none; a key given in another normal form is found as the node finds it.
  const JSONValue sparse = JSONValue::decode(R"({"type":"string","pattern\u00e9s":1})");
  const Keywords few(*sparse.objectValue());
  EXPECT_EQ(few[Keyword::description], nullptr);
  EXPECT_EQ(few.find("minimum"), nullptr);
  EXPECT_EQ(few.find("type"), sparse.objectValue()->find("type"));
  EXPECT_EQ(few.find("patterne\u0301s"), sparse.objectValue()->find("patterne\u0301s"));
  EXPECT_NE(few.find("patterne\u0301s"), nullptr);
}

}  // namespace
