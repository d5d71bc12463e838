// Translating a JSON Schema document: its definitions, the root, and the dispatch of each node
// to a reference, string enumeration, union, object, array or scalar.
#include "TarnwickApple/internal/SchemaTranslation.hpp"

#include <exception>
#include <string_view>
#include <utility>

#include "TarnwickApple/SidecarError.hpp"
#include "TarnwickApple/internal/Explain.hpp"
#include "TarnwickApple/internal/Quoting.hpp"

namespace TarnwickApple::SchemaTranslator {

namespace {

using FoundationModels::DynamicGenerationSchema;
using FoundationModels::GenerationSchema;
using ScalarType = DynamicGenerationSchema::ScalarType;
using Explain::Form;
using Quoting::quoted;

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

// The definitions table and the key it is under:
//   {"$defs":{...}}                 -> its members ("definitions" not looked at)
//   {"$defs":not-an-object, ...}    -> empty
//   {"definitions":{...}}           -> its members
//   anything else                   -> empty
std::pair<const JSONObject*, std::string_view> definitionsOf(const JSONObject& document) {
  for (std::string_view key : {"$defs", "definitions"}) {
    if (const JSONValue* table = document.find(key)) return {table->objectValue(), key};
  }
  return {nullptr, {}};
}

// What a translated definition is, in words, for a reference to it that cannot resolve.
std::string formWords(const DynamicGenerationSchema& node) {
  switch (node.form()) {
    case DynamicGenerationSchema::Form::reference: return "a reference";
    case DynamicGenerationSchema::Form::array: return "an array";
    case DynamicGenerationSchema::Form::choices:
    case DynamicGenerationSchema::Form::anyOf:
    case DynamicGenerationSchema::Form::object: return "a named";
    case DynamicGenerationSchema::Form::scalar:
      switch (node.scalarType()) {
        case ScalarType::string: return "a string";
        case ScalarType::integer: return "an integer";
        case ScalarType::number: return "a number";
        case ScalarType::boolean: return "a boolean";
      }
  }
  return "a";
}

// "two kinds" for people: small counts in words.
std::string countWord(std::size_t count) {
  constexpr std::string_view words[] = {"no", "one", "two", "three", "four", "five", "six", "seven"};
  return count < std::size(words) ? std::string(words[count]) : std::to_string(count);
}

// "#/$defs/NAME" or "#/definitions/NAME" -> NAME verbatim; any other text is refused.
DynamicGenerationSchema reference(const std::string& target) {
  for (std::string_view prefix : definitionPrefixes) {
    if (std::string_view(target).starts_with(prefix)) {
      std::string name = target.substr(prefix.size());
      if (Explain::Recorder* recorder = Explain::active()) recorder->reference(target, name);
      return DynamicGenerationSchema::referenceTo(std::move(name));
    }
  }
  Explain::refuse(SidecarError::unsupportedReference, [&] {
    return "\"$ref\" " + quoted(target) + " is not \"#/$defs/NAME\" or \"#/definitions/NAME\"";
  });
}

// An element-count bound: none when absent, its integer reading otherwise.
std::optional<std::int64_t> elementBound(const JSONObject& node, std::string_view key) {
  const JSONValue* value = node.find(key);
  if (!value) return std::nullopt;
  const auto reading = value->integerValue();
  if (!reading) {
    Explain::refuse(SidecarError::unsupportedConstruct,
                    [&] { return quoted(key) + " " + quoted(*value) + " is not a whole number"; });
  }
  return reading;
}

// Element counts the framework's assembly refuses, told to a listening recorder with their place.
void checkElementBounds(std::optional<std::int64_t> minimum, std::optional<std::int64_t> maximum) {
  Explain::Recorder* recorder = Explain::active();
  if (!recorder) return;
  std::string reason;
  if (minimum && *minimum < 0) {
    reason = "\"minItems\" " + std::to_string(*minimum) + " is negative";
  } else if (maximum && *maximum < 0) {
    reason = "\"maxItems\" " + std::to_string(*maximum) + " is negative";
  } else if (minimum && maximum && *minimum > *maximum) {
    reason = "\"minItems\" " + std::to_string(*minimum) + " exceeds \"maxItems\" " + std::to_string(*maximum);
  } else {
    return;
  }
  recorder->cause({FoundationModels::GenerationSchema::SchemaError::Case::invalidArrayBounds, recorder->pointer(),
                   std::move(reason)});
}

// The element is translated before the bounds are read, so its failures come first.
DynamicGenerationSchema array(const JSONObject& node, const std::string& name, Namer& namer, std::int64_t depth) {
  const JSONValue* items = node.find("items");
  if (!items) Explain::refuse(SidecarError::unsupportedConstruct, [] { return "array without \"items\""; });
  const JSONObject* itemsObject = items->objectValue();
  const std::string* title = itemsObject ? stringMember(*itemsObject, "title") : nullptr;
  const std::string elementName = namer.unique(title ? *title : name + std::string(itemSuffix));
  DynamicGenerationSchema element = [&] {
    Explain::Step step("items");
    return schema(*items, elementName, namer, depth + 1);
  }();
  const auto minimum = elementBound(node, "minItems");
  const auto maximum = elementBound(node, "maxItems");
  checkElementBounds(minimum, maximum);
  return DynamicGenerationSchema::arrayOf(std::move(element), minimum, maximum);
}

}  // namespace

GenerationSchema generationSchema(const JSONValue& document) {
  const JSONObject* root = document.objectValue();
  if (!root) {
    Explain::refuse(SidecarError::schemaNotObject,
                    [&] { return "the document is " + std::string(Quoting::kindName(document)) + ", not an object"; });
  }
  Namer namer;
  const auto [definitions, definitionsKey] = definitionsOf(*root);
  Explain::Recorder* const recorder = Explain::active();
  // Definition names are taken first, so nothing generated later can equal one. Members come in
  // ascending order of their NFC keys, which is the order definitions are translated in.
  if (definitions) {
    for (const auto& [nfcKey, member] : *definitions) namer.reserve(member.key);
  }
  std::vector<DynamicGenerationSchema> dependencies;
  if (definitions) {
    dependencies.reserve(definitions->size());
    for (const auto& [nfcKey, member] : *definitions) {
      Explain::Step step(definitionsKey, member.key);
      if (recorder) recorder->definition(&member.key);
      dependencies.push_back(schema(member.value, member.key, namer, 0));
      if (recorder) recorder->definitionForm(member.key, formWords(dependencies.back()));
    }
    if (recorder) recorder->definition(nullptr);
  }
  const std::string* title = stringMember(*root, "title");
  const std::string rootName = namer.unique(title ? std::string_view(*title) : defaultRootName);
  try {
    DynamicGenerationSchema translated = schema(document, rootName, namer, 0);
    return GenerationSchema(std::move(translated), std::move(dependencies));
  } catch (const GenerationSchema::SchemaError& error) {
    if (recorder) recorder->assemblyFailed(error.kind());
    throw SidecarError::resolve(std::current_exception());
  }
}

DynamicGenerationSchema schema(const JSONValue& node, const std::string& name, Namer& namer, std::int64_t depth) {
  if (depth > maximumDepth) {
    Explain::refuse(SidecarError::unsupportedConstruct,
                    [&] { return "depth " + std::to_string(depth) + " exceeds " + std::to_string(maximumDepth); });
  }
  const JSONObject* members = node.objectValue();
  if (!members) {
    Explain::refuse(SidecarError::schemaNotObject,
                    [&] { return "the schema is " + std::string(Quoting::kindName(node)) + ", not an object"; });
  }
  const std::string* descriptionText = stringMember(*members, "description");
  const std::optional<std::string> description =
      descriptionText ? std::optional<std::string>(*descriptionText) : std::nullopt;

  if (const std::string* target = stringMember(*members, "$ref")) {
    Explain::unread(*members, Form::reference);
    return reference(*target);
  }
  if (const JSONArray* choices = arrayMember(*members, "enum")) {
    Explain::unread(*members, Form::choices);
    std::vector<std::string> texts = strings(*choices, "enum");
    if (Explain::Recorder* recorder = Explain::active(); recorder && texts.empty()) {
      recorder->cause({GenerationSchema::SchemaError::Case::emptyTypeChoices, recorder->pointer(), "\"enum\" is empty"});
    }
    if (Explain::Recorder* recorder = Explain::active()) recorder->named(name);
    return DynamicGenerationSchema::anyOf(name, description, std::move(texts));
  }
  if (const JSONArray* alternatives = arrayMember(*members, "anyOf")) {
    Explain::unread(*members, Form::anyOf);
    return unionOf(*alternatives, "anyOf", name, description, namer, depth);
  }
  if (const JSONArray* alternatives = arrayMember(*members, "oneOf")) {
    Explain::unread(*members, Form::oneOf);
    Explain::note("oneOf", "one-of-as-any-of",
                  [] { return std::string("translated as \"anyOf\": an answer may match more than one alternative"); });
    return unionOf(*alternatives, "oneOf", name, description, namer, depth);
  }

  const std::string type = kind(*members);
  if (type == "object") {
    Explain::unread(*members, Form::object);
    return object(*members, name, description, namer, depth);
  }
  if (type == "array") {
    Explain::unread(*members, Form::array);
    return array(*members, name, namer, depth);
  }
  if (type == "string") {
    Explain::unread(*members, Form::string);
    return DynamicGenerationSchema::scalar(ScalarType::string, stringGuides(*members));
  }
  if (type == "integer") {
    Explain::unread(*members, Form::integer);
    return DynamicGenerationSchema::scalar(ScalarType::integer, integerGuides(*members));
  }
  if (type == "number") {
    Explain::unread(*members, Form::number);
    return DynamicGenerationSchema::scalar(ScalarType::number, numberGuides(*members));
  }
  if (type == "boolean") {
    Explain::unread(*members, Form::boolean);
    return DynamicGenerationSchema::scalar(ScalarType::boolean, {});
  }
  Explain::refuse(SidecarError::unsupportedConstruct, [&] {
    return "\"type\" " + quoted(type) + (type == "null" ? " alone leaves nothing to generate" : " is no JSON Schema type");
  });
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
    if (!list) {
      Explain::refuse(SidecarError::unsupportedConstruct,
                      [&] { return "\"type\" is " + std::string(Quoting::kindName(*type)) + ", not a string or a list"; });
    }
    std::vector<std::string> named = strings(*list, "type");
    const std::size_t listed = named.size();
    std::erase(named, "null");
    if (named.size() != 1) {
      Explain::refuse(SidecarError::unsupportedConstruct, [&] {
        std::string reason = "\"type\" lists " + countWord(named.size()) + " kinds";
        for (std::size_t i = 0; i < named.size(); ++i) reason += (i == 0 ? ": " : ", ") + named[i];
        return named.empty() ? std::string("\"type\" lists no kind but null") : reason;
      });
    }
    if (named.size() != listed) {
      Explain::note("type", "null-dropped", [&] {
        return "null is not generated: the answer is always " + quoted(named.front()) + ", never null";
      });
    }
    return std::move(named.front());
  }
  if (node.find("properties")) return "object";
  if (const JSONValue* constant = node.find("const")) {
    if (constant->stringValue()) return "string";
    Explain::refuse(SidecarError::unsupportedConstruct,
                    [&] { return "\"const\" " + quoted(*constant) + " without \"type\" (only a string constant can stand alone)"; });
  }
  Explain::refuse(SidecarError::unsupportedConstruct, [] {
    return std::string("no \"type\", \"properties\", \"$ref\", \"enum\", \"anyOf\" or \"oneOf\" says what the value is");
  });
}

std::vector<std::string> strings(const JSONArray& array, std::string_view keyword) {
  std::vector<std::string> result;
  result.reserve(array.size());
  for (const JSONValue& member : array) {
    const std::string* text = member.stringValue();
    if (!text) {
      Explain::refuse(SidecarError::unsupportedConstruct, [&] {
        return quoted(keyword) + " member " + std::to_string(result.size()) + " is " +
               std::string(Quoting::kindName(member)) + ", not a string";
      });
    }
    result.push_back(*text);
  }
  return result;
}

}  // namespace TarnwickApple::SchemaTranslator
