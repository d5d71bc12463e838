// The recorder an explained translation carries: notes, refusals, the causes the framework's
// assembly may fail on, and which keywords each form leaves unread.
#include "TarnwickApple/Schema/SchemaExplanation.hpp"

#include <algorithm>
#include <array>
#include <string>

#include "TarnwickApple/Schema/SchemaTranslator.hpp"
#include "TarnwickApple/Text/Unicode.hpp"
#include "TarnwickApple/Schema/internal/Explain.hpp"
#include "TarnwickApple/Schema/internal/SchemaTranslation.hpp"
#include "TarnwickApple/JSON/Quoting.hpp"

namespace TarnwickApple {
namespace Explain {
namespace {

using SchemaErrorCase = FoundationModels::GenerationSchema::SchemaError::Case;

// Keywords that constrain values, by the type they apply to. Annotations are in none of them.
constexpr std::array anyTypeKeywords = {"$dynamicRef", "$recursiveRef", "allOf", "anyOf", "const", "else", "enum",
                                         "if", "not", "oneOf", "then", "type"};
constexpr std::array stringKeywords = {"contentEncoding", "contentMediaType", "contentSchema", "format",
                                       "maxLength", "minLength", "pattern"};
// "format" on a number ("int32", "double") is read by nobody either.
constexpr std::array numberKeywords = {"exclusiveMaximum", "exclusiveMinimum", "format", "maximum", "minimum", "multipleOf"};
constexpr std::array arrayKeywords = {"additionalItems", "contains", "items", "maxContains", "maxItems",
                                      "minContains", "minItems", "prefixItems", "unevaluatedItems", "uniqueItems"};
constexpr std::array objectKeywords = {"additionalProperties", "dependencies", "dependentRequired",
                                       "dependentSchemas", "maxProperties", "minProperties", "patternProperties",
                                       "properties", "propertyNames", "required", "unevaluatedProperties"};

template <std::size_t N>
bool among(const std::array<const char*, N>& keywords, std::string_view key) {
  return std::find(keywords.begin(), keywords.end(), key) != keywords.end();
}

// The tables' own spelling of a keyword that constrains values: a note keeps a view of it, which
// outlives the schema's text.
std::string_view fixedKeyword(std::string_view key) {
  const auto spelled = [&](const auto& keywords) -> const char* {
    const auto at = std::find(keywords.begin(), keywords.end(), key);
    return at == keywords.end() ? nullptr : *at;
  };
  for (const char* word : {spelled(anyTypeKeywords), spelled(stringKeywords), spelled(numberKeywords),
                           spelled(arrayKeywords), spelled(objectKeywords)}) {
    if (word) return word;
  }
  return {};  // not reached: only keywords that constrain are noted
}

// True when `key` constrains the values a node of this form stands for.
bool constrains(std::string_view key, Form form) {
  if (among(anyTypeKeywords, key)) return true;
  switch (form) {
    case Form::reference:
    case Form::choices:
    case Form::anyOf:
    case Form::oneOf:
    case Form::allOf:
      // Beside these every keyword of every type narrows the value, and none is read.
      return among(stringKeywords, key) || among(numberKeywords, key) || among(arrayKeywords, key) ||
             among(objectKeywords, key);
    case Form::string: return among(stringKeywords, key);
    case Form::integer:
    case Form::number: return among(numberKeywords, key);
    case Form::array: return among(arrayKeywords, key);
    case Form::object: return among(objectKeywords, key);
    case Form::boolean: return false;
  }
  return false;
}

// True when the translation of a node of this form reads `key` (pattern and bounds are read,
// and what becomes of them is noted where they are read).
bool reads(const JSONObject& node, std::string_view key, Form form) {
  const JSONValue* value = node.find(key);
  switch (form) {
    case Form::reference: return key == "$ref";
    case Form::choices:
      return key == "enum" || (key == "const" && !node.find("enum")) ||
             (key == "type" && value->stringValue() && *value->stringValue() == "string");
    case Form::anyOf: return key == "anyOf";
    case Form::oneOf: return key == "oneOf";
    case Form::allOf: return key == "allOf" || key == "required";
    case Form::object: return key == "type" || key == "properties" || key == "required";
    case Form::array:
      return key == "type" || key == "items" || key == "minItems" || key == "maxItems" ||
             (key == "prefixItems" && !node.find("items"));
    case Form::string: return key == "type" || key == "pattern" || (key == "const" && value->stringValue());
    case Form::integer:
    case Form::number:
      if (key == "exclusiveMinimum") return !node.find("minimum");
      if (key == "exclusiveMaximum") return !node.find("maximum");
      return key == "type" || key == "minimum" || key == "maximum";
    case Form::boolean: return key == "type";
  }
  return false;
}

std::string_view formWord(Form form) {
  switch (form) {
    case Form::reference: return "beside \"$ref\"";
    case Form::choices: return "beside \"enum\"";
    case Form::anyOf: return "beside \"anyOf\"";
    case Form::oneOf: return "beside \"oneOf\"";
    case Form::allOf: return "beside \"allOf\"";
    case Form::object: return "on an object";
    case Form::array: return "on an array";
    case Form::string: return "on a string";
    case Form::integer: return "on an integer";
    case Form::number: return "on a number";
    case Form::boolean: return "on a boolean";
  }
  return "here";
}

}  // namespace

void Recorder::note(const std::string& pointer, std::string_view keyword, std::string_view effect, std::string detail) {
  notes.push_back(SchemaNote{pointer, keyword, effect, std::move(detail)});
}

void Recorder::noteAbout(const std::string& pointer, std::string_view keyword, std::string_view effect,
                         std::string_view subject, std::string_view rest) {
  notes.pushAbout(pointer, keyword, effect, subject, rest);
}

void Recorder::rollback(const Mark& mark) {
  notes.truncate(mark.notes);
  causes_.resize(mark.causes);
  named_.resize(mark.named);
  references_.resize(mark.references);
  refusalPointer.clear();
  refusalReason.clear();
}

void Recorder::refuse(const std::string& pointer, std::string reason) {
  refusalPointer = pointer;
  refusalReason = std::move(reason);
}

void Recorder::assemblyFailed(SchemaErrorCase kind) {
  const auto place = [&](std::string pointer, std::string reason) {
    refusalPointer = std::move(pointer);
    refusalReason = std::move(reason);
  };
  switch (kind) {
    case SchemaErrorCase::undefinedReference:
      for (const Reference& reference : references_) {
        const std::string name = Unicode::nfc(reference.name);
        const bool isNamed = std::any_of(named_.begin(), named_.end(),
                                         [&](const auto& entry) { return Unicode::nfc(entry.first) == name; });
        if (isNamed) continue;
        const auto form = std::find_if(definitionForms_.begin(), definitionForms_.end(),
                                       [&](const auto& entry) { return Unicode::nfc(entry.first) == name; });
        if (form == definitionForms_.end()) {
          return place(reference.pointer, "\"$ref\" " + Quoting::quoted(reference.target) + " names no definition");
        }
        return place(reference.pointer, "\"$ref\" " + Quoting::quoted(reference.target) + " names " + form->second +
                                            " definition, which carries no name");
      }
      break;
    case SchemaErrorCase::duplicateType:
      for (std::size_t i = 0; i < named_.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
          if (Unicode::nfc(named_[i].first) != Unicode::nfc(named_[j].first)) continue;
          const std::string other = named_[j].second.empty() ? "(root)" : named_[j].second;
          return place(named_[i].second, "the type name " + Quoting::quoted(named_[i].first) + " is also given at " + other);
        }
      }
      break;
    case SchemaErrorCase::duplicateProperty:
    case SchemaErrorCase::emptyTypeChoices:
    case SchemaErrorCase::invalidArrayBounds:
      for (const AssemblyCause& cause : causes_) {
        if (cause.kind == kind) return place(cause.pointer, cause.reason);
      }
      break;
    case SchemaErrorCase::unrecognized:  // only the platform's side reports it
      break;
  }
  place("", "the schema does not resolve into a generation schema");
}

void noteUnread(SchemaTranslator::Context& context, const JSONObject& node, Form form) {
  for (const auto& [nfcKey, member] : node) {
    const std::string_view key = member.key();
    if (!constrains(key, form) || reads(node, key, form)) continue;
    // "anyOf" that is no array lets "oneOf" decide; "oneOf" beside an "anyOf" array is unread.
    if (form == Form::oneOf && key == "anyOf" && !member.value.arrayValue()) continue;
    // Extra properties are never generated, whatever the keyword allows or forbids.
    const bool onlyListed = form == Form::object && (key == "additionalProperties" || key == "unevaluatedProperties");
    const JSONValue& value = member.value;  // a structured binding is not captured by older clang
    const std::string_view keyword = fixedKeyword(key);
    context.note(keyword, "ignored", [&] {
      return Quoting::quoted(key) + ": " + Quoting::quoted(value) + " is not read " + std::string(formWord(form)) +
             (onlyListed ? "; the answer holds only the listed properties" : ", so the model is not held to it");
    });
  }
}

}  // namespace Explain

namespace SchemaTranslator {

Explained explained(const JSONValue& document) {
  Explained result;
  Explain::Recorder recorder;
  try {
    result.schema.emplace(generationSchema(document, &recorder));
    result.notes = std::move(recorder.notes);
  } catch (...) {
    result.error = SidecarError::resolve(std::current_exception());
    result.pointer = recorder.refusalPointer;
    result.reason = recorder.refusalReason.empty() ? std::string(result.error->message()) : recorder.refusalReason;
  }
  return result;
}

}  // namespace SchemaTranslator
}  // namespace TarnwickApple
