// Translating a JSON Schema document: its definitions, the root, and the dispatch of each node
// to a reference, string enumeration, union, object, array or scalar.
#include "TarnwickApple/Schema/internal/SchemaTranslation.hpp"

#include <algorithm>
#include <exception>
#include <optional>
#include <string_view>
#include <utility>

#include "TarnwickApple/Errors/SidecarError.hpp"
#include "TarnwickApple/Schema/internal/Explain.hpp"
#include "TarnwickApple/JSON/Quoting.hpp"

namespace TarnwickApple::SchemaTranslator {

namespace {

using FoundationModels::DynamicGenerationSchema;
using FoundationModels::GenerationSchema;
using ScalarType = DynamicGenerationSchema::ScalarType;
using Explain::Form;
using Quoting::quoted;
using namespace std::string_view_literals;  // kinds compared by length first, with no strlen

// Root name when the document has no string "title".
constexpr std::string_view defaultRootName = "Schema";
// Appended to an array's name to name its element.
constexpr std::string_view itemSuffix = "Item";

// The node's string "title", looked up alone: its keyword table is made when it is translated.
std::optional<std::string_view> titleOf(const JSONObject& node) {
  const JSONValue* title = node.find("title");
  return title ? title->stringValue() : std::nullopt;
}

const JSONElements* arrayMember(const Keywords& node, Keyword key) {
  const JSONValue* value = node[key];
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

// An element-count bound: none when absent, its integer reading otherwise.
std::optional<std::int64_t> elementBound(const Keywords& node, std::string_view key, Context& context) {
  const JSONValue* value = node.find(key);
  if (!value) return std::nullopt;
  const auto reading = value->integerValue();
  if (!reading) {
    context.refuse(SidecarError::unsupportedConstruct,
                   [&] { return quoted(key) + " " + quoted(*value) + " is not a whole number"; });
  }
  return reading;
}

// Element counts the framework's assembly refuses, told to the recorder with their place.
void checkElementBounds(std::optional<std::int64_t> minimum, std::optional<std::int64_t> maximum, Context& context) {
  if (!context.recorder) return;
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
  context.recorder->cause(
      {FoundationModels::GenerationSchema::SchemaError::Case::invalidArrayBounds, context.pointer(), std::move(reason)});
}

// The element is translated before the bounds are read, so its failures come first.
//   {"items":{...}}              -> elements of that schema
//   {} or {"items":[]}           -> elements of any value, generated as strings
//   {"items":[s,...]}, {"prefixItems":[s,...]} (a tuple) -> at most one element, of schema s
//   {"items":false}              -> no element
DynamicGenerationSchema array(const Keywords& node, std::string_view name, Context& context) {
  static const JSONValue anyElement = JSONValue::object(JSONObject());
  const JSONValue* items = node[Keyword::items];
  std::string_view itemsKey = "items";
  const JSONElements* tuple = items ? items->arrayValue() : nullptr;
  if (const JSONValue* prefix = node[Keyword::prefixItems]; !items && prefix && prefix->arrayValue()) {
    tuple = prefix->arrayValue();
    itemsKey = "prefixItems";
  }
  std::optional<std::int64_t> limit;  // elements the form itself allows at most
  const bool sameEverywhere = tuple && std::all_of(tuple->begin(), tuple->end(),
                                                   [&](const JSONValue& position) { return position == tuple->front(); });
  if (tuple && !tuple->empty() && sameEverywhere) {
    // Every position holds the same schema, so any element count keeps to it.
    items = &tuple->front();
  } else if (tuple && !tuple->empty()) {
    if (const auto minimum = elementBound(node, "minItems", context); minimum && *minimum > 1) {
      context.refuse(SidecarError::unsupportedConstruct, [&] {
        return quoted(itemsKey) + " lists a schema per position and \"minItems\" is " + std::to_string(*minimum) +
               ", but only the first position can be generated";
      });
    }
    context.note(itemsKey, "tuple-shortened", [] {
      return std::string("only the first position's schema is generated, so the answer holds at most one element");
    });
    items = &tuple->front();
    limit = 1;
  } else if (!items || tuple) {
    context.note(itemsKey, "any-as-string", [] {
      return std::string("no schema for the elements: they may be any value, and strings are generated");
    });
    items = &anyElement;
  } else if (items->boolValue() == std::optional<bool>(false)) {
    context.note("items", "always-empty", [] { return std::string("\"items\": false allows no element, so the answer is always []"); });
    items = &anyElement;
    limit = 0;
  }
  const JSONObject* itemsObject = items->objectValue();
  const auto title = itemsObject ? titleOf(*itemsObject) : std::nullopt;
  const std::string_view elementName = title ? context.namer.name(*title) : [&] {
    std::string& wanted = context.wantedName();
    (wanted += name) += itemSuffix;
    return context.namer.name(wanted);
  }();
  DynamicGenerationSchema element = [&] {
    if (items == &anyElement) return DynamicGenerationSchema::scalar(ScalarType::string, {});
    if (tuple && !tuple->empty()) {
      Step step(context, itemsKey, "0", Step::nested);
      return schema(*items, elementName, context);
    }
    Step step(context, "items", Step::nested);
    return schema(*items, elementName, context);
  }();
  const auto minimum = elementBound(node, "minItems", context);
  auto maximum = elementBound(node, "maxItems", context);
  if (limit && (!maximum || *maximum > *limit)) maximum = limit;
  checkElementBounds(minimum, maximum, context);
  return DynamicGenerationSchema::arrayOf(std::move(element), minimum, maximum);
}

}  // namespace

GenerationSchema generationSchema(const JSONValue& document) { return generationSchema(document, nullptr); }

GenerationSchema generationSchema(const JSONValue& document, Explain::Recorder* recorder) {
  const JSONObject* root = document.objectValue();
  if (!root) {
    if (recorder) {
      recorder->refuse("", "the document is " + std::string(Quoting::kindName(document)) + ", not an object");
    }
    throw SidecarError::schemaNotObject;
  }
  Namer namer;
  const auto [definitions, definitionsKey] = definitionsOf(*root);
  // Definition names are taken first, so nothing generated later can equal one. Members come in
  // ascending order of their NFC keys, which is the order definitions are translated in.
  if (definitions) {
    for (const auto& [nfcKey, member] : *definitions) namer.reserve(member.key());
  }
  Document translation(document, definitions, definitionsKey);
  Context context(namer, &translation, recorder);
  std::vector<DynamicGenerationSchema> dependencies;
  if (definitions) {
    dependencies.reserve(definitions->size());
    // Worked out only when a definition fails: the definitions the root reaches.
    std::optional<std::vector<const JSONValue*>> reached;
    for (const auto& [nfcKey, member] : *definitions) {
      Step step(context, definitionsKey, member.key());
      const Explain::Recorder::Mark mark = context.mark();
      try {
        dependencies.push_back(schema(member.value, member.key(), context));
      } catch (const SidecarError&) {
        // A definition nothing reaches is never generated, and one without a name is only ever
        // copied where it is referenced, where a failure refuses the schema if it is generated.
        if (translation.exhausted) throw;
        if (!reached) reached = reachedDefinitions(translation);
        const bool isReached = std::find(reached->begin(), reached->end(), &member.value) != reached->end();
        if (isReached && isNamedForm(member.value, context)) throw;
        const std::string reason = context.refusalReason();
        context.rollback(mark);
        const std::string key(member.key());  // a structured binding is not captured by older clang
        context.note(definitionsKey, "definition-dropped", [&] {
          return "definition " + quoted(key) + " cannot be translated (" + reason + "), so it is left out" +
                 (isReached ? "; each reference to it is translated where it stands" : "; nothing references it");
        });
        continue;
      }
      if (recorder) recorder->definitionForm(std::string(member.key()), formWords(dependencies.back()));
    }
  }
  const auto title = titleOf(*root);
  const std::string_view rootName = namer.name(title ? *title : defaultRootName);
  try {
    DynamicGenerationSchema translated = schema(document, rootName, context);
    // Nodes referred to by pointer, in the order first referred to; each may add more.
    for (std::size_t i = 0; i < translation.shared.size(); ++i) {
      const Document::Shared shared = translation.shared[i];
      Elsewhere place(context, shared.pointer, Elsewhere::notes);
      dependencies.push_back(schema(*shared.node, shared.name, context));
    }
    // Every name is handed out: let go of the registry before the assembly builds its tables.
    namer = Namer();
    return GenerationSchema(std::move(translated), std::move(dependencies));
  } catch (const GenerationSchema::SchemaError& error) {
    if (recorder) recorder->assemblyFailed(error.kind());
    throw SidecarError::resolve(std::current_exception());
  }
}

DynamicGenerationSchema schema(const JSONValue& node, std::string_view name, Context& context) {
  if (context.depth > maximumDepth) {
    context.refuse(SidecarError::unsupportedConstruct,
                   [&] { return "depth " + std::to_string(context.depth) + " exceeds " + std::to_string(maximumDepth); });
  }
  if (Document* counted = context.document; counted && counted->copies > 0) {
    if (++counted->inlinedNodes > maximumInlinedNodes) {
      counted->exhausted = true;
      context.refuse(SidecarError::unsupportedConstruct, [] {
        return "inlining references builds more than " + std::to_string(maximumInlinedNodes) + " nodes";
      });
    }
  }
  // Only copies can come back to a node being translated, and only "#" to the root, so only the
  // root and the nodes of copies are kept open.
  Document* translation = context.document;
  if (translation && translation->copies == 0 && &node != &translation->root) translation = nullptr;
  if (translation) {
    const auto again = std::find_if(translation->open.rbegin(), translation->open.rend(),
                                    [&](const auto& entry) { return entry.first == &node; });
    if (again != translation->open.rend() && isNamedForm(node, context)) {
      if (context.recorder) context.recorder->reference("#", again->second, context.pointer());
      return DynamicGenerationSchema::referenceTo(std::string(again->second));
    }
  }
  // Open while this node is translated, whatever ends its translation.
  struct Opened {
    Document* translation;
    ~Opened() {
      if (translation) translation->open.pop_back();
    }
  } opened{translation};
  if (translation) translation->open.emplace_back(&node, name);

  // true accepts any value (a string is one); false accepts none.
  if (const auto accepts = node.boolValue()) {
    if (!*accepts) context.refuse(SidecarError::unsupportedConstruct, [] { return std::string("false accepts no value"); });
    context.note("type", "any-as-string", [] { return std::string("true accepts any value, and a string is generated"); });
    return DynamicGenerationSchema::scalar(ScalarType::string, {});
  }
  const JSONObject* object = node.objectValue();
  if (!object) {
    context.refuse(SidecarError::schemaNotObject,
                   [&] { return "the schema is " + std::string(Quoting::kindName(node)) + ", not an object"; });
  }
  const Keywords members(*object);
  // Copied only for the named forms that keep it: scalars, arrays and references do not.
  const auto descriptionText = members.text(Keyword::description);
  const auto description = [&] {
    return descriptionText ? std::optional<std::string>(*descriptionText) : std::nullopt;
  };

  if (const auto target = members.text(Keyword::ref)) {
    Explain::unread(context, members, Form::reference);
    return reference(*target, name, context);
  }
  if (const auto choices = arrayMember(members, Keyword::enumeration)) {
    Explain::unread(context, members, Form::choices);
    const bool onlyStrings =
        std::all_of(choices->begin(), choices->end(), [](const JSONValue& member) { return member.stringValue(); });
    if (!onlyStrings) return valueChoices(*choices, "enum", name, description(), context);
    std::vector<std::string> texts = strings(*choices, "enum", context);
    if (context.recorder && texts.empty()) {
      context.recorder->cause({GenerationSchema::SchemaError::Case::emptyTypeChoices, context.pointer(), "\"enum\" is empty"});
    }
    if (context.recorder) context.recorder->named(name, context.pointer());
    return DynamicGenerationSchema::anyOf(std::string(name), description(), std::move(texts));
  }
  if (const auto alternatives = arrayMember(members, Keyword::anyOf)) {
    Explain::unread(context, members, Form::anyOf);
    return unionOf(*alternatives, "anyOf", name, description(), context);
  }
  if (const auto alternatives = arrayMember(members, Keyword::oneOf)) {
    Explain::unread(context, members, Form::oneOf);
    context.note("oneOf", "one-of-as-any-of",
                  [] { return std::string("translated as \"anyOf\": an answer may match more than one alternative"); });
    return unionOf(*alternatives, "oneOf", name, description(), context);
  }

  // The rules below read a node that says nothing of its kind but through other keywords.
  const JSONValue* const typeMember = members[Keyword::type];
  if (!typeMember && !members[Keyword::properties]) {
    const JSONValue* constant = members[Keyword::constant];
    if (!constant) {
      if (auto merged = intersection(members, name, description(), context)) return std::move(*merged);
    } else if (!constant->stringValue()) {
      Explain::unread(context, members, Form::choices);
      return valueChoices(JSONArray{*constant}, "const", name, description(), context);
    }
  }
  if (typeMember && typeMember->arrayValue()) {
    if (auto kinds = listedKinds(members, context); kinds && kinds->size() > 1) {
      return kindUnion(members, *kinds, name, description(), context);
    }
  }

  const std::string_view type = kind(members, context);
  if (type.empty() && !typeMember) {
    // What is left ("not", "if", ...) is ignored as beside any other kind, but the negation of
    // everything leaves nothing to generate.
    if (const JSONValue* negated = members[Keyword::negation];
        negated && (negated->boolValue().value_or(false) || (negated->objectValue() && negated->objectValue()->empty()))) {
      context.refuse(SidecarError::unsupportedConstruct, [] { return std::string("\"not\" of every value accepts no value"); });
    }
    Explain::unread(context, members, Form::string);
    context.note("type", "any-as-string", [] {
      return std::string("no keyword constrains the value, so any value is allowed, and a string is generated");
    });
    return DynamicGenerationSchema::scalar(ScalarType::string, {});
  }
  if (type == "object"sv) {
    Explain::unread(context, members, Form::object);
    return SchemaTranslator::object(members, name, description(), context);
  }
  if (type == "array"sv) {
    Explain::unread(context, members, Form::array);
    return array(members, name, context);
  }
  if (type == "string"sv) {
    Explain::unread(context, members, Form::string);
    return DynamicGenerationSchema::scalar(ScalarType::string, stringGuides(members, context));
  }
  if (type == "integer"sv) {
    Explain::unread(context, members, Form::integer);
    return DynamicGenerationSchema::scalar(ScalarType::integer, integerGuides(members, context));
  }
  if (type == "number"sv) {
    Explain::unread(context, members, Form::number);
    return DynamicGenerationSchema::scalar(ScalarType::number, numberGuides(members, context));
  }
  if (type == "boolean"sv) {
    Explain::unread(context, members, Form::boolean);
    return DynamicGenerationSchema::scalar(ScalarType::boolean, {});
  }
  context.refuse(SidecarError::unsupportedConstruct, [&] {
    return "\"type\" " + quoted(type) + (type == "null" ? " alone leaves nothing to generate" : " is no JSON Schema type");
  });
}

std::optional<std::vector<std::string_view>> listedKinds(const Keywords& node, Context& context) {
  const JSONValue* type = node[Keyword::type];
  const JSONElements* list = type ? type->arrayValue() : nullptr;
  if (!list) return std::nullopt;
  // Every member is read (and a non-string refused) before any is kept, as a list of strings would be.
  for (std::size_t i = 0; i < list->size(); ++i) stringAt(*list, i, "type", context);
  std::vector<std::string_view> kinds;
  for (std::size_t i = 0; i < list->size(); ++i) {
    const std::string_view kind = *(*list)[i].stringValue();
    if (kind != "null" && std::find(kinds.begin(), kinds.end(), kind) == kinds.end()) kinds.push_back(kind);
  }
  return kinds;
}

// {"items"|"prefixItems"|"minItems"|...}            -> "array"
// {"required":[...]|"additionalProperties"|...}    -> "object"
// {"pattern"|"minLength"|"maxLength"|"format"|...} -> "string"
// {"minimum"|"maximum"|"multipleOf"|...}           -> "number"
// anything else                                    -> ""
std::string_view impliedKind(const Keywords& node) {
  using enum Keyword;
  static constexpr Keyword arrayKeys[] = {items, prefixItems, minItems, maxItems, additionalItems,
                                          contains, uniqueItems, minContains, maxContains, unevaluatedItems};
  static constexpr Keyword objectKeys[] = {additionalProperties, patternProperties, propertyNames,
                                           minProperties, maxProperties, dependentRequired,
                                           dependentSchemas, dependencies, unevaluatedProperties};
  static constexpr Keyword stringKeys[] = {pattern, minLength, maxLength, format, contentEncoding, contentMediaType};
  static constexpr Keyword numberKeys[] = {minimum, maximum, exclusiveMinimum, exclusiveMaximum, multipleOf};
  const auto any = [&](const auto& keys) {
    return std::any_of(std::begin(keys), std::end(keys), [&](Keyword key) { return node[key] != nullptr; });
  };
  if (any(arrayKeys)) return "array";
  // A draft-03 "required": true belongs to the property, not to an object.
  const JSONValue* draft3 = node[Keyword::required];
  if ((draft3 && draft3->arrayValue()) || any(objectKeys)) return "object";
  if (any(stringKeys)) return "string";
  if (any(numberKeys)) return "number";
  return "";
}

// {"type":"k"}                 -> k, whatever it says
// {"type":[..."k"..."null"...]} -> k when exactly one non-"null" string remains (several are a
//                                  union, made before this is asked)
// {"type":other}               -> refused
// {"properties":any}           -> "object"
// {"const":"text"}             -> "string" (other constants are pinned before this is asked)
// {"minItems":..., ...}        -> the kind its keywords imply (impliedKind)
// {}                           -> "": any value
std::string_view kind(const Keywords& node, Context& context) {
  if (const JSONValue* type = node[Keyword::type]) {
    if (const auto text = type->stringValue()) return *text;
    const auto list = type->arrayValue();
    if (!list) {
      context.refuse(SidecarError::unsupportedConstruct,
                     [&] { return "\"type\" is " + std::string(Quoting::kindName(*type)) + ", not a string or a list"; });
    }
    std::vector<std::string_view> named;
    named.reserve(list->size());
    for (std::size_t i = 0; i < list->size(); ++i) named.push_back(stringAt(*list, i, "type", context));
    const std::size_t listed = named.size();
    std::erase(named, "null");
    // A kind listed twice is one kind.
    for (std::size_t i = 1; i < named.size();) {
      if (std::find(named.begin(), named.begin() + static_cast<std::ptrdiff_t>(i), named[i]) != named.begin() + static_cast<std::ptrdiff_t>(i)) {
        named.erase(named.begin() + static_cast<std::ptrdiff_t>(i));
      } else {
        ++i;
      }
    }
    if (named.size() != 1) {
      context.refuse(SidecarError::unsupportedConstruct, [&] {
        std::string reason = "\"type\" lists " + countWord(named.size()) + " kinds";
        for (std::size_t i = 0; i < named.size(); ++i) (reason += i == 0 ? ": " : ", ") += named[i];
        return named.empty() ? std::string("\"type\" lists no kind but null") : reason;
      });
    }
    if (named.size() != listed) {
      context.note("type", "null-dropped", [&] {
        return "null is not generated: the answer is always " + quoted(named.front()) + ", never null";
      });
    }
    return named.front();
  }
  if (node[Keyword::properties]) return "object";
  if (const JSONValue* constant = node[Keyword::constant]; constant && constant->stringValue()) return "string";
  const std::string_view implied = impliedKind(node);
  if (!implied.empty()) {
    context.note("type", "kind-inferred", [&] {
      return "no \"type\": the keywords make it " + std::string(implied == "array" || implied == "object" ? "an " : "a ") +
             std::string(implied);
    });
  }
  return implied;
}

std::string_view stringAt(JSONElements array, std::size_t index, std::string_view keyword, Context& context) {
  const auto text = array[index].stringValue();
  if (!text) {
    context.refuse(SidecarError::unsupportedConstruct, [&] {
      return quoted(keyword) + " member " + std::to_string(index) + " is " + std::string(Quoting::kindName(array[index])) +
             ", not a string";
    });
  }
  return *text;
}



std::vector<std::string> strings(JSONElements array, std::string_view keyword, Context& context) {
  std::vector<std::string> result;
  result.reserve(array.size());
  for (std::size_t i = 0; i < array.size(); ++i) result.emplace_back(stringAt(array, i, keyword, context));
  return result;
}

}  // namespace TarnwickApple::SchemaTranslator
