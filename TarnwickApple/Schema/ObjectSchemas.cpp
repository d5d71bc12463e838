// Object and union schemas: property order, optionality and names of nested types; null
// alternatives, string choices and numbered alternatives of unions.
#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "TarnwickApple/Schema/internal/SchemaTranslation.hpp"
#include "TarnwickApple/Errors/SidecarError.hpp"
#include "TarnwickApple/Text/Unicode.hpp"
#include "TarnwickApple/Schema/internal/Explain.hpp"
#include "TarnwickApple/JSON/Quoting.hpp"

namespace TarnwickApple::SchemaTranslator {

namespace {

using FoundationModels::DynamicGenerationSchema;

// Between a union's name and an alternative's number: "ValueChoice1".
constexpr std::string_view choiceInfix = "Choice";

std::optional<std::string_view> stringMember(const JSONValue& value, std::string_view key) {
  const JSONValue* member = value[key];
  return member ? member->stringValue() : std::nullopt;
}

const JSONObject& propertyTable(const Keywords& node) {
  static const JSONObject none;
  const JSONValue* properties = node[Keyword::properties];
  const JSONObject* table = properties ? properties->objectValue() : nullptr;
  return table ? *table : none;
}

// The members of `properties` in property order:
//   "x-order" names that are properties, in listed order, every occurrence kept;
//   then every other property, ascending in string order.
// A member's map key is the NFC form of its name, and members are visited in ascending order of
// it, which is the string order; so the rest needs no sorting.
std::vector<const JSONObject::Member*> orderedMembers(const JSONObject& properties, const Keywords& entries,
                                                      Context& context) {
  std::vector<const JSONObject::Member*> result;
  result.reserve(properties.size());
  std::unordered_set<std::string_view> listed;  // NFC keys taken by "x-order"
  if (const JSONValue* order = entries[Keyword::xOrder]; order && order->arrayValue()) {
    // Read in place, one name at a time: the list may hold a million names.
    const JSONElements names = *order->arrayValue();
    if (!names.empty()) {
      std::unordered_map<std::string_view, const JSONObject::Member*> byKey;
      byKey.reserve(properties.size());
      for (const auto& [nfcKey, member] : properties) byKey.emplace(nfcKey, &member);
      for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string_view name = stringAt(names, i, "x-order", context);
        const auto found = byKey.find(Unicode::nfc(name));
        if (found == byKey.end()) {
          context.noteAbout("x-order", "listed-but-absent", name, " is listed but is no property, so it is never generated");
          continue;
        }
        if (context.recorder && listed.contains(found->first)) {
          context.recorder->cause({FoundationModels::GenerationSchema::SchemaError::Case::duplicateProperty,
                                   context.pointer(), "\"x-order\" lists " + Quoting::quoted(name) + " twice"});
        }
        result.push_back(found->second);
        listed.insert(found->first);
      }
    }
  }
  for (const auto& [nfcKey, member] : properties) {
    if (listed.empty() || !listed.contains(nfcKey)) result.push_back(&member);  // no hashing without "x-order"
  }
  return result;
}

// True when `members` come in the order they were written in the document.
bool asWritten(const std::vector<const JSONObject::Member*>& members) {
  return std::is_sorted(members.begin(), members.end(),
                        [](const JSONObject::Member* a, const JSONObject::Member* b) { return a->position < b->position; });
}

// A word character is a grapheme cluster whose first scalar is Alphabetic or numeric.
bool isWordCharacter(std::string_view cluster) {
  const auto scalar = Unicode::firstScalar(cluster);
  return scalar && (Unicode::isAlphabetic(*scalar) || Unicode::hasNumericType(*scalar));
}

using Unicode::isASCII;

// What each ASCII byte is to a type name: not kept (0), a lower-case letter (1), or kept as it is
// (2: upper-case letters and digits).
constexpr auto asciiNameClasses = [] {
  std::array<std::uint8_t, 128> classes{};
  for (int c = 'a'; c <= 'z'; ++c) classes[static_cast<std::size_t>(c)] = 1;
  for (int c = 'A'; c <= 'Z'; ++c) classes[static_cast<std::size_t>(c)] = 2;
  for (int c = '0'; c <= '9'; ++c) classes[static_cast<std::size_t>(c)] = 2;
  return classes;
}();

// Type names built on the stack and appended whole, up to this many bytes; a longer name is
// built in the result itself.
constexpr std::size_t stackedNameBytes = 128;

// The ASCII case of appendTypeName: letters and digits kept, each run's first letter upper-cased,
// written through a pointer at `out`, which has room for the whole name; returns where it ends.
char* writeASCIITypeName(char* out, std::string_view name) {
  // Without branches: every byte is written, and the position moves past the kept ones only.
  bool startOfWord = true;
  for (const char c : name) {
    const std::uint8_t kind = asciiNameClasses[static_cast<unsigned char>(c)];
    *out = startOfWord && kind == 1 ? static_cast<char>(c - 'a' + 'A') : c;
    out += kind != 0;
    startOfWord = kind == 0;
  }
  return out;
}

void appendASCIITypeName(std::string& result, std::string_view name) {
  if (name.size() <= stackedNameBytes) {
    char written[stackedNameBytes];
    result.append(written, static_cast<std::size_t>(writeASCIITypeName(written, name) - written));
    return;
  }
  const std::size_t start = result.size();
  result.resize(start + name.size());
  char* const first = result.data() + start;
  result.resize(start + static_cast<std::size_t>(writeASCIITypeName(first, name) - first));
}

// A string choice when at least two alternatives remain and every one is {"const":"text",...}.
std::optional<std::vector<std::string>> constantStrings(const std::vector<const JSONValue*>& alternatives) {
  if (alternatives.size() < 2) return std::nullopt;
  std::vector<std::string> result;
  result.reserve(alternatives.size());
  for (const JSONValue* alternative : alternatives) {
    const auto constant = stringMember(*alternative, "const");
    if (!constant) return std::nullopt;
    result.emplace_back(*constant);
  }
  return result;
}

// True when, with nothing recorded, translating `alternative` here would refuse it only for a
// "$ref" into another document (one that does not start with "#") and change nothing else: the
// union drops it as it would drop the failure, with no exception thrown and caught. The checks
// schema() makes first (depth, the inlined-node count) are made here, and the node is counted as
// schema() counts it; anything else takes the ordinary way.
bool refusedAsReferenceElsewhere(const JSONValue& alternative, Context& context) {
  if (context.recorder || context.depth > maximumDepth) return false;
  const JSONObject* object = alternative.objectValue();
  const JSONValue* ref = object ? object->find("$ref") : nullptr;
  const auto target = ref ? ref->stringValue() : std::nullopt;
  if (!target || target->starts_with('#')) return false;
  Document* document = context.document;
  if (document && document->exhausted) return false;
  if (document && document->copies > 0) {
    if (document->inlinedNodes + 1 > maximumInlinedNodes) return false;
    ++document->inlinedNodes;
  }
  return true;
}

}  // namespace

bool isNullAlternative(const JSONValue& alternative, const Context& context) {
  const JSONObject* object = alternative.objectValue();
  if (!object) return false;
  const Keywords read(*object);  // one pass over the members for the four looked at
  const auto type = read.text(Keyword::type);
  if (type) return *type == "null";
  // A reference to a null-only schema is one too.
  if (const auto target = read.text(Keyword::ref)) {
    const JSONValue* referenced = referencedNode(*target, context);
    return referenced && referenced != &alternative && !(*referenced)["$ref"] && isNullAlternative(*referenced, context);
  }
  // A lone null constant: nothing else is said of the value.
  const JSONValue* constant = read[Keyword::constant];
  const JSONValue* choices = read[Keyword::enumeration];
  const JSONElements* members = choices ? choices->arrayValue() : nullptr;
  return (constant && constant->isNull() && !choices) ||
         (!constant && members && !members->empty() &&
          std::all_of(members->begin(), members->end(), [](const JSONValue& member) { return member.isNull(); }));
}

std::vector<std::string> order(const JSONObject& properties, const JSONObject& entries, Context& context) {
  std::vector<std::string> names;
  for (const JSONObject::Member* member : orderedMembers(properties, entries, context)) names.emplace_back(member->key());
  return names;
}

// "first_name" -> "FirstName", "x-order" -> "XOrder", "2fa code" -> "2faCode", "_" -> "".
std::string typeName(std::string_view propertyName) {
  std::string result;
  appendTypeName(result, propertyName);
  return result;
}

void appendTypeName(std::string& result, std::string_view propertyName) {
  if (isASCII(propertyName)) return appendASCIITypeName(result, propertyName);
  result.reserve(result.size() + propertyName.size());
  bool startOfWord = true;
  for (const std::string& cluster : Unicode::graphemeClusters(propertyName)) {
    if (!isWordCharacter(cluster)) {
      startOfWord = true;
      continue;
    }
    result += startOfWord ? Unicode::upperCased(cluster) : cluster;
    startOfWord = false;
  }
}

DynamicGenerationSchema object(const Keywords& node, std::string_view name,
                               const std::optional<std::string>& description, Context& context) {
  const JSONObject& properties = propertyTable(node);
  // The required properties, by the address of their schema in the tree, sorted: eight bytes a
  // name, and a property's lookup needs no NFC copy of its key. Absent names cost nothing.
  std::vector<const JSONValue*> required;
  const JSONValue* list = node[Keyword::required];
  // A boolean is draft-03's mark on a property, read by the object that holds the property.
  if (list && !list->arrayValue() && !list->isBool()) {
    context.note("required", "ignored", [&] {
      return "\"required\": " + Quoting::quoted(*list) + " is not a list, so no property is made required by it";
    });
  }
  if (list && list->arrayValue()) {
    // Read in place, one name at a time: the list may hold a million names.
    const JSONElements names = *list->arrayValue();
    required.reserve(std::min(names.size(), properties.size()));
    for (std::size_t i = 0; i < names.size(); ++i) {
      const std::string_view requiredName = stringAt(names, i, "required", context);
      if (const JSONValue* property = properties.find(requiredName)) {
        required.push_back(property);
      } else {
        context.noteAbout("required", "listed-but-absent", requiredName,
                          " is required but is no property, so the answer never holds it");
      }
    }
  }
  std::sort(required.begin(), required.end(), std::less<>());
  const std::vector<const JSONObject::Member*> members = orderedMembers(properties, node, context);
  if (context.recording() && !node[Keyword::xOrder] && !asWritten(members)) {
    context.note("properties", "order", [&] {
      std::string detail = "the model receives the properties in name order (";
      for (std::size_t i = 0; i < members.size(); ++i) (detail += i == 0 ? "" : ", ") += members[i]->key();
      return detail + "), not as written; list them in \"x-order\" to choose";
    });
  }
  if (members.empty() && context.recording()) {
    // Only listed properties are generated: without any the answer is always {}.
    std::string lost;
    for (std::string_view key : {"additionalProperties", "patternProperties", "propertyNames", "minProperties",
                                 "dependentSchemas", "unevaluatedProperties"}) {
      const JSONValue* value = node.find(key);
      if (value && !(value->isBool() && !*value->boolValue())) lost += (lost.empty() ? "" : ", ") + Quoting::quoted(key);
    }
    if (!node[Keyword::properties] || !lost.empty()) {
      context.note("properties", "always-empty", [&] {
        return std::string("no property is listed, so the answer is always {}") +
               (lost.empty() ? "" : "; what " + lost + " allow is never generated");
      });
    }
  }
  if (context.recorder) context.recorder->named(name, context.pointer());

  std::vector<DynamicGenerationSchema::Property> result;
  result.reserve(members.size());
  for (const JSONObject::Member* member : members) {
    const JSONValue& propertySchema = member->value;
    // The property schema's own keywords, read in one pass for the three looked at here.
    const JSONValue* draft3 = nullptr;
    std::optional<std::string_view> descriptionText, title;
    if (const JSONObject* keywords = propertySchema.objectValue()) {
      const Keywords read(*keywords);
      draft3 = read[Keyword::required];
      descriptionText = read.text(Keyword::description);
      title = read.text(Keyword::title);
    }
    const bool isOptional = !std::binary_search(required.begin(), required.end(), &propertySchema, std::less<>()) &&
                            !(draft3 && draft3->boolValue().value_or(false));
    // The parent's name and the property's type name, built in one string.
    const std::string_view nestedName = title ? context.namer.name(*title) : [&] {
      std::string& wanted = context.wantedName();
      wanted += name;
      appendTypeName(wanted, member->key());
      return context.namer.name(wanted);
    }();
    // An optional property whose schema allows no value, or only null, is never generated: it
    // is looked at only once its translation has failed.
    const bool nothing = propertySchema.boolValue() == std::optional<bool>(false);
    std::optional<DynamicGenerationSchema> translated = [&]() -> std::optional<DynamicGenerationSchema> {
      Step step(context, "properties", member->key(), Step::nested);
      const Explain::Recorder::Mark mark = context.mark();
      try {
        return schema(propertySchema, nestedName, context);
      } catch (const SidecarError&) {
        if (!isOptional || (draft3 && draft3->isBool()) || !(nothing || isNullAlternative(propertySchema, context))) throw;
        context.rollback(mark);
        return std::nullopt;
      }
    }();
    if (!translated && nothing) {
      context.note("properties", "ignored", [&] {
        return Quoting::quoted(member->key()) + ": false allows no value, so the property is never generated";
      });
    } else if (!translated) {
      context.note("properties", "null-dropped", [&] {
        return Quoting::quoted(member->key()) + " allows only null, which is not generated, so the property is never generated";
      });
    }
    if (!translated) continue;
    result.push_back(DynamicGenerationSchema::Property{
        std::string(member->key()),
        descriptionText,
        std::move(*translated),
        isOptional,
    });
  }
  return DynamicGenerationSchema::object(std::string(name), description, std::move(result));
}

DynamicGenerationSchema unionOf(JSONElements alternatives, std::string_view keyword, std::string_view name,
                                const std::optional<std::string>& description, Context& context) {
  std::vector<const JSONValue*> remaining;
  remaining.reserve(alternatives.size());
  for (const JSONValue& alternative : alternatives) {
    if (!isNullAlternative(alternative, context)) remaining.push_back(&alternative);
  }
  if (remaining.empty()) {
    context.refuse(SidecarError::unsupportedConstruct, [&] {
      return Quoting::quoted(keyword) + (alternatives.empty() ? " is empty" : " holds no alternative but null");
    });
  }
  if (remaining.size() != alternatives.size()) {
    context.note(keyword, "null-dropped", [] { return std::string("the null alternative is not generated: the answer is never null"); });
  }
  // Where an alternative sits in the document, for the place of what is said about it.
  const auto index = [&](const JSONValue* alternative) { return std::to_string(alternative - alternatives.data()); };
  // One alternative left stands for the union, under its name, with its own description.
  if (remaining.size() == 1) {
    Step step(context, keyword, index(remaining.front()), Step::nested);
    return schema(*remaining.front(), name, context);
  }
  if (auto choices = constantStrings(remaining)) {
    if (context.recorder) context.recorder->named(name, context.pointer());
    return DynamicGenerationSchema::anyOf(std::string(name), description, std::move(*choices));
  }

  if (context.recorder) context.recorder->named(name, context.pointer());
  std::vector<DynamicGenerationSchema> translated;
  translated.reserve(remaining.size());
  std::size_t number = 0;
  Explain::Recorder* const recorder = context.recorder;
  std::optional<SidecarError> firstFailure;
  std::string failurePointer, failureReason;
  for (const JSONValue* alternative : remaining) {
    ++number;
    const auto title = stringMember(*alternative, "title");
    const std::string_view alternativeName = title ? context.namer.name(*title) : [&] {
      std::string& wanted = context.wantedName();
      (wanted += name) += choiceInfix;
      wanted += std::to_string(number);
      return context.namer.name(wanted);
    }();
    Step step(context, keyword, index(alternative), Step::nested);
    if (refusedAsReferenceElsewhere(*alternative, context)) {
      if (!firstFailure) firstFailure = SidecarError::unsupportedReference;
      continue;
    }
    const Explain::Recorder::Mark mark = context.mark();
    try {
      translated.push_back(schema(*alternative, alternativeName, context));
    } catch (const SidecarError& failure) {
      // Fewer alternatives still give only answers the schema allows.
      const Document* translation = context.document;
      if (translation && translation->exhausted) throw;
      if (!firstFailure) {
        firstFailure = failure;
        if (recorder) failurePointer = recorder->refusalPointer, failureReason = recorder->refusalReason;
      }
      const std::string reason = context.refusalReason();
      context.rollback(mark);
      context.note(keyword, "alternative-dropped", [&] {
        return "alternative " + index(alternative) + " cannot be translated (" + reason + "), so it is never generated";
      });
    }
  }
  if (translated.empty()) {
    if (recorder) recorder->refusalPointer = failurePointer, recorder->refusalReason = failureReason;
    throw *firstFailure;
  }
  return DynamicGenerationSchema::anyOf(std::string(name), description, std::move(translated));
}

}  // namespace TarnwickApple::SchemaTranslator
