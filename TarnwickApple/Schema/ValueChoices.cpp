// Choices that are not only strings: an "enum" or a lone "const" of any JSON values, and a
// "type" list of several kinds. Each becomes one alternative per kind of value.
#include <algorithm>
#include <string_view>
#include <utility>

#include "TarnwickApple/Errors/SidecarError.hpp"
#include "TarnwickApple/Schema/internal/Explain.hpp"
#include "TarnwickApple/JSON/Quoting.hpp"
#include "TarnwickApple/Schema/internal/SchemaTranslation.hpp"

namespace TarnwickApple::SchemaTranslator {
namespace {

using FoundationModels::DynamicGenerationSchema;
using FoundationModels::GenerationGuide;
using ScalarType = DynamicGenerationSchema::ScalarType;
using Quoting::quoted;

// Between a union's name and an alternative's number, as for "anyOf": "ValueChoice1".
constexpr std::string_view choiceInfix = "Choice";

// One alternative of a value choice, before it is named.
struct Alternative {
  enum class Kind { strings, integer, number, boolean } kind;
  std::vector<std::string> texts;  // strings
  GenerationGuide::Bound value{std::int64_t{0}};
};

DynamicGenerationSchema built(const Alternative& alternative, std::string_view name,
                              const std::optional<std::string>& description, Context& context) {
  switch (alternative.kind) {
    case Alternative::Kind::strings:
      if (context.recorder) context.recorder->named(name, context.pointer());
      return DynamicGenerationSchema::anyOf(std::string(name), description, alternative.texts);
    case Alternative::Kind::integer:
      return DynamicGenerationSchema::scalar(ScalarType::integer, {GenerationGuide::range(alternative.value, alternative.value)});
    case Alternative::Kind::number:
      return DynamicGenerationSchema::scalar(ScalarType::number, {GenerationGuide::range(alternative.value, alternative.value)});
    case Alternative::Kind::boolean: return DynamicGenerationSchema::scalar(ScalarType::boolean, {});
  }
  return DynamicGenerationSchema::scalar(ScalarType::boolean, {});
}

// Whether `value` becomes part of an alternative: null is dropped, an array or object refused.
bool isGenerated(const JSONValue& value) {
  switch (value.kind()) {
    case JSONValue::Case::null:
    case JSONValue::Case::array:
    case JSONValue::Case::object: return false;
    case JSONValue::Case::string:
    case JSONValue::Case::boolean:
    case JSONValue::Case::integer:
    case JSONValue::Case::number: return true;
  }
  return false;
}

}  // namespace

// [s..., w, x, true, null] -> strings s as one string choice, the whole number w pinned as an
//                             integer, the number x pinned as a number, true as a boolean;
//                             null dropped; an object or array member is refused.
// One alternative stands alone under the node's name; several are a union.
DynamicGenerationSchema valueChoices(JSONElements values, std::string_view keyword, std::string_view name,
                                     const std::optional<std::string>& description, Context& context) {
  // Refused before any member is noted: a refusal takes back every note made under it, and an
  // enumeration may hold a million members to note.
  bool anyGenerated = false;
  for (std::size_t i = 0; i < values.size() && !anyGenerated; ++i) anyGenerated = isGenerated(values[i]);
  if (!anyGenerated) {
    context.refuse(SidecarError::unsupportedConstruct, [&] {
      return quoted(keyword) + " holds nothing but null, arrays and objects, which leaves nothing to generate";
    });
  }
  std::vector<Alternative> alternatives;
  std::size_t stringsAt = values.size();  // index of the string choice in alternatives, once there is one
  bool hasNull = false, hasTrue = false, hasFalse = false;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const JSONValue& value = values[i];
    switch (value.kind()) {
      case JSONValue::Case::null: hasNull = true; break;
      case JSONValue::Case::string:
        if (stringsAt == values.size()) {
          stringsAt = alternatives.size();
          alternatives.push_back({Alternative::Kind::strings, {}, {}});
        }
        alternatives[stringsAt].texts.emplace_back(*value.stringValue());
        break;
      case JSONValue::Case::boolean:
        // Both booleans, or one of them, are the one boolean alternative.
        if (!hasTrue && !hasFalse) alternatives.push_back({Alternative::Kind::boolean, {}, {}});
        (*value.boolValue() ? hasTrue : hasFalse) = true;
        break;
      case JSONValue::Case::integer:
      case JSONValue::Case::number:
        if (const auto whole = value.exactIntegerValue()) {
          alternatives.push_back({Alternative::Kind::integer, {}, *whole});
        } else {
          alternatives.push_back({Alternative::Kind::number, {}, *value.doubleValue()});
        }
        break;
      case JSONValue::Case::array:
      case JSONValue::Case::object:
        // Fewer choices still give only answers the schema allows.
        if (keyword != "enum") {
          context.note(keyword, "ignored", [&] {
            return quoted(keyword) + " is " + std::string(Quoting::kindName(value)) +
                   ", which the model cannot be held to; it is never generated";
          });
        } else {
          // One note per member, and an enumeration may hold a million of them: kept as numbers.
          context.noteNumbered(keyword, "ignored", "member ", i,
                               value.kind() == JSONValue::Case::array ? " is an array" : " is an object",
                               ", which the model cannot be held to; it is never generated");
        }
        break;
    }
  }
  if (hasNull) {
    context.note(keyword, "null-dropped", [] { return std::string("null is not generated: the answer is never null"); });
  }
  if (hasTrue != hasFalse) {
    context.note(keyword, "enum-widened", [&] {
      return std::string("the model cannot be held to ") + (hasTrue ? "true" : "false") + " alone, so either boolean may be generated";
    });
  }
  if (alternatives.size() == 1) return built(alternatives.front(), name, description, context);

  if (context.recorder) context.recorder->named(name, context.pointer());
  std::vector<DynamicGenerationSchema> translated;
  translated.reserve(alternatives.size());
  for (std::size_t i = 0; i < alternatives.size(); ++i) {
    std::string& wanted = context.wantedName();
    (wanted += name) += choiceInfix;
    wanted += std::to_string(i + 1);
    const std::string_view alternativeName = context.namer.name(wanted);
    translated.push_back(built(alternatives[i], alternativeName, std::nullopt, context));
  }
  return DynamicGenerationSchema::anyOf(std::string(name), description, std::move(translated));
}

// {"type":[k1,k2,...], ...} -> anyOf [{"type":k1, ...}, {"type":k2, ...}, ...], each alternative
//                              the node with one kind and without its title.
DynamicGenerationSchema kindUnion(const JSONObject& node, const std::vector<std::string_view>& kinds, std::string_view name,
                                  const std::optional<std::string>& description, Context& context) {
  const JSONValue* type = node.find("type");
  if (type->arrayValue()->size() != kinds.size()) {
    context.note("type", "null-dropped", [] { return std::string("null is not generated: the answer is never null"); });
  }
  context.note("type", "kind-union", [&] {
    std::string detail = "one alternative for each kind listed (";
    for (std::size_t i = 0; i < kinds.size(); ++i) (detail += i == 0 ? "" : ", ") += kinds[i];
    return detail + "), each held to this node's keywords for its kind";
  });
  if (context.recorder) context.recorder->named(name, context.pointer());
  std::vector<DynamicGenerationSchema> translated;
  translated.reserve(kinds.size());
  const Step deeper = Step::deeper(context);
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    JSONObject single = node;
    single.extract("title");
    single.insert("type", JSONValue::string(std::string(kinds[i])));
    std::string& wanted = context.wantedName();
    (wanted += name) += choiceInfix;
    wanted += std::to_string(i + 1);
    const std::string_view alternativeName = context.namer.name(wanted);
    translated.push_back(schema(JSONValue::object(std::move(single)), alternativeName, context));
  }
  return DynamicGenerationSchema::anyOf(std::string(name), description, std::move(translated));
}

}  // namespace TarnwickApple::SchemaTranslator
