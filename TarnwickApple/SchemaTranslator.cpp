// Translating a JSON Schema document: its definitions, the root, and the dispatch of each node
// to a reference, string enumeration, union, object, array or scalar.
#include "TarnwickApple/SchemaTranslator.hpp"

#include <exception>
#include <string_view>
#include <utility>

#include "TarnwickApple/SidecarError.hpp"

namespace TarnwickApple::SchemaTranslator {

namespace {

using FoundationModels::DynamicGenerationSchema;
using FoundationModels::GenerationSchema;
using ScalarType = DynamicGenerationSchema::ScalarType;

// Root name when the document has no string "title".
constexpr std::string_view defaultRootName = "Schema";
// Appended to an array's name to name its element.
constexpr std::string_view itemSuffix = "Item";
// The two accepted reference prefixes, tried in this order.
constexpr std::string_view definitionPrefixes[] = {"#/$defs/", "#/definitions/"};

const std::string* stringMember(const JSONObject& node, std::string_view key) {
  const JSONValue* value = node.find(key);
  return value ? value->stringValue() : nullptr;
}

const JSONArray* arrayMember(const JSONObject& node, std::string_view key) {
  const JSONValue* value = node.find(key);
  return value ? value->arrayValue() : nullptr;
}

// The definitions table:
//   {"$defs":{...}}                 -> its members ("definitions" not looked at)
//   {"$defs":not-an-object, ...}    -> empty
//   {"definitions":{...}}           -> its members
//   anything else                   -> empty
const JSONObject* definitionsOf(const JSONObject& document) {
  for (std::string_view key : {"$defs", "definitions"}) {
    if (const JSONValue* table = document.find(key)) return table->objectValue();
  }
  return nullptr;
}

// "#/$defs/NAME" or "#/definitions/NAME" -> NAME verbatim; any other text is refused.
DynamicGenerationSchema reference(const std::string& target) {
  for (std::string_view prefix : definitionPrefixes) {
    if (std::string_view(target).starts_with(prefix)) {
      return DynamicGenerationSchema::referenceTo(target.substr(prefix.size()));
    }
  }
  throw SidecarError::unsupportedReference;
}

// An element-count bound: none when absent, its integer reading otherwise.
std::optional<std::int64_t> elementBound(const JSONObject& node, std::string_view key) {
  const JSONValue* value = node.find(key);
  if (!value) return std::nullopt;
  const auto reading = value->integerValue();
  if (!reading) throw SidecarError::unsupportedConstruct;
  return reading;
}

// The element is translated before the bounds are read, so its failures come first.
DynamicGenerationSchema array(const JSONObject& node, const std::string& name, Namer& namer, std::int64_t depth) {
  const JSONValue* items = node.find("items");
  if (!items) throw SidecarError::unsupportedConstruct;
  const JSONObject* itemsObject = items->objectValue();
  const std::string* title = itemsObject ? stringMember(*itemsObject, "title") : nullptr;
  const std::string elementName = namer.unique(title ? *title : name + std::string(itemSuffix));
  DynamicGenerationSchema element = schema(*items, elementName, namer, depth + 1);
  const auto minimum = elementBound(node, "minItems");
  const auto maximum = elementBound(node, "maxItems");
  return DynamicGenerationSchema::arrayOf(std::move(element), minimum, maximum);
}

}  // namespace

GenerationSchema generationSchema(const JSONValue& document) {
  const JSONObject* root = document.objectValue();
  if (!root) throw SidecarError::schemaNotObject;
  Namer namer;
  const JSONObject* definitions = definitionsOf(*root);
  // Definition names are taken first, so nothing generated later can equal one. Members come in
  // ascending order of their NFC keys, which is the order definitions are translated in.
  if (definitions) {
    for (const auto& [nfcKey, member] : *definitions) namer.reserve(member.key);
  }
  std::vector<DynamicGenerationSchema> dependencies;
  if (definitions) {
    dependencies.reserve(definitions->size());
    for (const auto& [nfcKey, member] : *definitions) {
      dependencies.push_back(schema(member.value, member.key, namer, 0));
    }
  }
  const std::string* title = stringMember(*root, "title");
  const std::string rootName = namer.unique(title ? std::string_view(*title) : defaultRootName);
  try {
    DynamicGenerationSchema translated = schema(document, rootName, namer, 0);
    return GenerationSchema(std::move(translated), std::move(dependencies));
  } catch (const GenerationSchema::SchemaError&) {
    throw SidecarError::resolve(std::current_exception());
  }
}

DynamicGenerationSchema schema(const JSONValue& node, const std::string& name, Namer& namer, std::int64_t depth) {
  if (depth > maximumDepth) throw SidecarError::unsupportedConstruct;
  const JSONObject* members = node.objectValue();
  if (!members) throw SidecarError::schemaNotObject;
  const std::string* descriptionText = stringMember(*members, "description");
  const std::optional<std::string> description =
      descriptionText ? std::optional<std::string>(*descriptionText) : std::nullopt;

  if (const std::string* target = stringMember(*members, "$ref")) return reference(*target);
  if (const JSONArray* choices = arrayMember(*members, "enum")) {
    return DynamicGenerationSchema::anyOf(name, description, strings(*choices));
  }
  if (const JSONArray* alternatives = arrayMember(*members, "anyOf")) {
    return unionOf(*alternatives, name, description, namer, depth);
  }
  if (const JSONArray* alternatives = arrayMember(*members, "oneOf")) {
    return unionOf(*alternatives, name, description, namer, depth);
  }

  const std::string type = kind(*members);
  if (type == "object") return object(*members, name, description, namer, depth);
  if (type == "array") return array(*members, name, namer, depth);
  if (type == "string") return DynamicGenerationSchema::scalar(ScalarType::string, stringGuides(*members));
  if (type == "integer") return DynamicGenerationSchema::scalar(ScalarType::integer, integerGuides(*members));
  if (type == "number") return DynamicGenerationSchema::scalar(ScalarType::number, numberGuides(*members));
  if (type == "boolean") return DynamicGenerationSchema::scalar(ScalarType::boolean, {});
  throw SidecarError::unsupportedConstruct;
}

// {"type":"k"}                 -> k, whatever it says
// {"type":[..."k"..."null"...]} -> k when exactly one non-"null" string remains
// {"type":other}               -> refused
// {"properties":any}           -> "object"
// {"const":"text"}             -> "string"; any other "const" is refused
// {}                           -> refused
std::string kind(const JSONObject& node) {
  if (const JSONValue* type = node.find("type")) {
    if (const std::string* text = type->stringValue()) return *text;
    const JSONArray* list = type->arrayValue();
    if (!list) throw SidecarError::unsupportedConstruct;
    std::vector<std::string> named = strings(*list);
    std::erase(named, "null");
    if (named.size() != 1) throw SidecarError::unsupportedConstruct;
    return std::move(named.front());
  }
  if (node.find("properties")) return "object";
  if (const JSONValue* constant = node.find("const")) {
    if (constant->stringValue()) return "string";
  }
  throw SidecarError::unsupportedConstruct;
}

std::vector<std::string> strings(const JSONArray& array) {
  std::vector<std::string> result;
  result.reserve(array.size());
  for (const JSONValue& member : array) {
    const std::string* text = member.stringValue();
    if (!text) throw SidecarError::unsupportedConstruct;
    result.push_back(*text);
  }
  return result;
}

}  // namespace TarnwickApple::SchemaTranslator
