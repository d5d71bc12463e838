// A schema node's members read once into a table of the keywords the translator knows, so
// that each later lookup of one is an index, not a search of the node's members.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "TarnwickApple/JSON/JSONValue.hpp"

namespace TarnwickApple::SchemaTranslator {

// Every keyword the translator looks up on a schema node.
enum class Keyword : std::uint8_t {
  ref, description, title, type, enumeration, constant,
  anyOf, oneOf, allOf, negation, properties, required,
  xOrder, items, prefixItems, minItems, maxItems, additionalItems,
  contains, uniqueItems, minContains, maxContains, unevaluatedItems, additionalProperties,
  patternProperties, propertyNames, minProperties, maxProperties, dependentRequired, dependentSchemas,
  dependencies, unevaluatedProperties, pattern, minLength, maxLength, format,
  contentEncoding, contentMediaType, minimum, maximum, exclusiveMinimum, exclusiveMaximum,
  multipleOf,
  count
};

namespace internal {
// True when `key`, of the word's length, is the word: a compare of a known size, which the
// compiler does in a load or two.
template <std::size_t N>
inline bool spelled(std::string_view key, const char (&word)[N]) {
  return std::memcmp(key.data(), word, N - 1) == 0;
}
}  // namespace internal

// The keyword spelled `key`, or nothing for any other member name. Keys are compared as the
// node's members know them, in NFC, which every keyword already is. Chosen by length and first
// byte, so most keys are compared with one word at most.
inline std::optional<Keyword> keywordOf(std::string_view key) {
  using internal::spelled;
  if (key.empty()) return std::nullopt;
  const char first = key[0];
  switch (key.size()) {
    case 3:
      if (spelled(key, "not")) return Keyword::negation;
      break;
    case 4:
      if (first == '$') return spelled(key, "$ref") ? std::optional(Keyword::ref) : std::nullopt;
      if (first == 'e') return spelled(key, "enum") ? std::optional(Keyword::enumeration) : std::nullopt;
      if (spelled(key, "type")) return Keyword::type;
      break;
    case 5:
      switch (first) {
        case 'a':
          if (spelled(key, "anyOf")) return Keyword::anyOf;
          if (spelled(key, "allOf")) return Keyword::allOf;
          break;
        case 'c':
          if (spelled(key, "const")) return Keyword::constant;
          break;
        case 'i':
          if (spelled(key, "items")) return Keyword::items;
          break;
        case 'o':
          if (spelled(key, "oneOf")) return Keyword::oneOf;
          break;
        case 't':
          if (spelled(key, "title")) return Keyword::title;
          break;
        default:
          break;
      }
      break;
    case 6:
      if (spelled(key, "format")) return Keyword::format;
      break;
    case 7:
      switch (first) {
        case 'm':
          if (spelled(key, "minimum")) return Keyword::minimum;
          if (spelled(key, "maximum")) return Keyword::maximum;
          break;
        case 'p':
          if (spelled(key, "pattern")) return Keyword::pattern;
          break;
        case 'x':
          if (spelled(key, "x-order")) return Keyword::xOrder;
          break;
        default:
          break;
      }
      break;
    case 8:
      switch (first) {
        case 'c':
          if (spelled(key, "contains")) return Keyword::contains;
          break;
        case 'm':
          if (spelled(key, "minItems")) return Keyword::minItems;
          if (spelled(key, "maxItems")) return Keyword::maxItems;
          break;
        case 'r':
          if (spelled(key, "required")) return Keyword::required;
          break;
        default:
          break;
      }
      break;
    case 9:
      if (spelled(key, "minLength")) return Keyword::minLength;
      if (spelled(key, "maxLength")) return Keyword::maxLength;
      break;
    case 10:
      if (first == 'm') return spelled(key, "multipleOf") ? std::optional(Keyword::multipleOf) : std::nullopt;
      if (spelled(key, "properties")) return Keyword::properties;
      break;
    case 11:
      switch (first) {
        case 'd':
          if (spelled(key, "description")) return Keyword::description;
          break;
        case 'm':
          if (spelled(key, "minContains")) return Keyword::minContains;
          if (spelled(key, "maxContains")) return Keyword::maxContains;
          break;
        case 'p':
          if (spelled(key, "prefixItems")) return Keyword::prefixItems;
          break;
        case 'u':
          if (spelled(key, "uniqueItems")) return Keyword::uniqueItems;
          break;
        default:
          break;
      }
      break;
    case 12:
      if (spelled(key, "dependencies")) return Keyword::dependencies;
      break;
    case 13:
      if (spelled(key, "minProperties")) return Keyword::minProperties;
      if (spelled(key, "maxProperties")) return Keyword::maxProperties;
      if (spelled(key, "propertyNames")) return Keyword::propertyNames;
      break;
    case 15:
      if (spelled(key, "additionalItems")) return Keyword::additionalItems;
      if (spelled(key, "contentEncoding")) return Keyword::contentEncoding;
      break;
    case 16:
      if (spelled(key, "contentMediaType")) return Keyword::contentMediaType;
      if (spelled(key, "dependentSchemas")) return Keyword::dependentSchemas;
      if (spelled(key, "exclusiveMinimum")) return Keyword::exclusiveMinimum;
      if (spelled(key, "exclusiveMaximum")) return Keyword::exclusiveMaximum;
      if (spelled(key, "unevaluatedItems")) return Keyword::unevaluatedItems;
      break;
    case 17:
      if (spelled(key, "dependentRequired")) return Keyword::dependentRequired;
      if (spelled(key, "patternProperties")) return Keyword::patternProperties;
      break;
    case 20:
      if (spelled(key, "additionalProperties")) return Keyword::additionalProperties;
      break;
    case 21:
      if (spelled(key, "unevaluatedProperties")) return Keyword::unevaluatedProperties;
      break;
    default:
      break;
  }
  return std::nullopt;
}

// The node's members by keyword; any other name is looked up in the node itself. Made from a
// node where one is expected, so a piece given an object alone reads it the same way.
class Keywords {
 public:
  Keywords(const JSONObject& node) : node_(node) {  // NOLINT(google-explicit-constructor)
    for (const auto& [nfcKey, member] : node) {
      if (const auto keyword = keywordOf(nfcKey)) {
        values_[static_cast<std::size_t>(*keyword)] = &member.value;
        present_ |= std::uint64_t{1} << static_cast<unsigned>(*keyword);
      }
    }
  }
  Keywords(const Keywords&) = delete;
  Keywords& operator=(const Keywords&) = delete;

  // The member under `key`, as JSONObject::find finds it.
  const JSONValue* find(std::string_view key) const {
    const auto keyword = keywordOf(key);
    return keyword ? (*this)[*keyword] : node_.find(key);
  }
  const JSONValue* operator[](Keyword keyword) const {
    return (present_ >> static_cast<unsigned>(keyword)) & 1 ? values_[static_cast<std::size_t>(keyword)] : nullptr;
  }
  // The member under `keyword` when it is a string.
  std::optional<std::string_view> text(Keyword keyword) const {
    const JSONValue* value = (*this)[keyword];
    return value ? value->stringValue() : std::nullopt;
  }
  const JSONObject& object() const { return node_; }
  operator const JSONObject&() const { return node_; }  // NOLINT(google-explicit-constructor)

 private:
  // One bit a keyword says which entries of `values_` are set: a table is made for every node
  // translated, and clearing one word costs less than clearing every entry.
  static_assert(static_cast<std::size_t>(Keyword::count) <= 64, "one bit a keyword");
  const JSONObject& node_;
  std::uint64_t present_ = 0;
  std::array<const JSONValue*, static_cast<std::size_t>(Keyword::count)> values_;  // read only where present
};

}  // namespace TarnwickApple::SchemaTranslator
