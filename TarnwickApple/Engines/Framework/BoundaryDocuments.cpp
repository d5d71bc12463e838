// Writing the boundary's request document, reading its answer document, and the failure names.
#include "TarnwickApple/Engines/Framework/BoundaryDocuments.hpp"

#include <array>
#include <charconv>
#include <exception>
#include <utility>

#include "TarnwickApple/FoundationModels/GenerationSchema.hpp"
#include "TarnwickApple/JSON/JSONText.hpp"
#include "TarnwickApple/JSON/JSONValue.hpp"
#include "TarnwickApple/Text/Unicode.hpp"

namespace TarnwickApple::Engines::Boundary {
namespace {

namespace FM = FoundationModels;
using Case = FM::LanguageModelSession::GenerationError::Case;

struct NamedFailure {
  Failure failure;
  std::string_view name;
};

// One table for both directions; the names are the framework's case names.
constexpr std::array<NamedFailure, 12> failureNames{{
    {Failure::exceededContextWindowSize, "exceededContextWindowSize"},
    {Failure::assetsUnavailable, "assetsUnavailable"},
    {Failure::guardrailViolation, "guardrailViolation"},
    {Failure::unsupportedGuide, "unsupportedGuide"},
    {Failure::unsupportedLanguageOrLocale, "unsupportedLanguageOrLocale"},
    {Failure::decodingFailure, "decodingFailure"},
    {Failure::rateLimited, "rateLimited"},
    {Failure::concurrentRequests, "concurrentRequests"},
    {Failure::refusal, "refusal"},
    {Failure::other, "other"},
    {Failure::schema, "schema"},
    {Failure::unknown, "unknown"},
}};

// A failure that is not the framework's: resolves to the general "reported an error" reply.
class ForeignFailure : public std::exception {
 public:
  const char* what() const noexcept override { return "the platform reported a failure of another kind"; }
};

void appendUnsigned(std::string& out, std::uint64_t value) {
  char buffer[24];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  out.append(buffer, end);
}

void appendMember(std::string& out, std::string_view name) {
  out += ',';
  JSONText::appendString(out, name);
  out += ':';
}

void appendSampling(std::string& out, const FM::SamplingMode& sampling) {
  switch (sampling.kind) {
    case FM::SamplingMode::Case::greedy:
      out += "{\"mode\":\"greedy\"}";
      return;
    case FM::SamplingMode::Case::randomTop:
      out += "{\"mode\":\"random_top\",\"top\":";
      JSONText::appendInteger(out, sampling.top);
      break;
    case FM::SamplingMode::Case::randomProbabilityThreshold:
      out += "{\"mode\":\"random_probability_threshold\",\"probability_threshold\":";
      JSONText::appendDouble(out, sampling.probabilityThreshold);
      break;
  }
  if (sampling.seed) {
    out += ",\"seed\":";
    appendUnsigned(out, *sampling.seed);
  }
  out += '}';
}

void appendOptions(std::string& out, const FM::GenerationOptions& options) {
  out += '{';
  bool first = true;
  const auto member = [&](std::string_view name) {
    if (!std::exchange(first, false)) out += ',';
    JSONText::appendString(out, name);
    out += ':';
  };
  if (options.sampling) {
    member("sampling");
    appendSampling(out, *options.sampling);
  }
  if (options.temperature) {
    member("temperature");
    JSONText::appendDouble(out, *options.temperature);
  }
  if (options.maximumResponseTokens) {
    member("maximum_response_tokens");
    JSONText::appendInteger(out, *options.maximumResponseTokens);
  }
  out += '}';
}

Answer failed(Failure failure) { return Answer{std::nullopt, failure}; }

}  // namespace

std::string_view useCaseName(FM::SystemLanguageModel::UseCase useCase) {
  switch (useCase) {
    case FM::SystemLanguageModel::UseCase::general: return "general";
    case FM::SystemLanguageModel::UseCase::contentTagging: return "content_tagging";
  }
  return "general";
}

std::string_view guardrailsName(FM::SystemLanguageModel::Guardrails guardrails) {
  switch (guardrails) {
    case FM::SystemLanguageModel::Guardrails::defaultGuardrails: return "default";
    case FM::SystemLanguageModel::Guardrails::permissiveContentTransformations:
      return "permissive_content_transformations";
  }
  return "default";
}

std::optional<FM::SystemLanguageModel::UseCase> useCaseNamed(std::string_view name) {
  for (const auto useCase : {FM::SystemLanguageModel::UseCase::general, FM::SystemLanguageModel::UseCase::contentTagging}) {
    if (useCaseName(useCase) == name) return useCase;
  }
  return std::nullopt;
}

std::optional<FM::SystemLanguageModel::Guardrails> guardrailsNamed(std::string_view name) {
  for (const auto guardrails : {FM::SystemLanguageModel::Guardrails::defaultGuardrails,
                                FM::SystemLanguageModel::Guardrails::permissiveContentTransformations}) {
    if (guardrailsName(guardrails) == name) return guardrails;
  }
  return std::nullopt;
}

std::string_view failureName(Failure failure) {
  for (const NamedFailure& entry : failureNames) {
    if (entry.failure == failure) return entry.name;
  }
  return "other";
}

std::optional<Failure> failureNamed(std::string_view name) {
  for (const NamedFailure& entry : failureNames) {
    if (entry.name == name) return entry.failure;
  }
  return std::nullopt;
}

Failure failureOf(Case kind) {
  switch (kind) {
    case Case::exceededContextWindowSize: return Failure::exceededContextWindowSize;
    case Case::assetsUnavailable: return Failure::assetsUnavailable;
    case Case::guardrailViolation: return Failure::guardrailViolation;
    case Case::unsupportedGuide: return Failure::unsupportedGuide;
    case Case::unsupportedLanguageOrLocale: return Failure::unsupportedLanguageOrLocale;
    case Case::decodingFailure: return Failure::decodingFailure;
    case Case::rateLimited: return Failure::rateLimited;
    case Case::concurrentRequests: return Failure::concurrentRequests;
    case Case::refusal: return Failure::refusal;
    case Case::unsupportedToolCall:
    case Case::timedOut:
    case Case::unrecognized:
      return Failure::other;
  }
  return Failure::other;
}

void throwFailure(Failure failure) {
  const auto generation = [](Case kind) -> FM::LanguageModelSession::GenerationError {
    return FM::LanguageModelSession::GenerationError(kind, {"reported across the framework boundary"});
  };
  switch (failure) {
    case Failure::exceededContextWindowSize: throw generation(Case::exceededContextWindowSize);
    case Failure::assetsUnavailable: throw generation(Case::assetsUnavailable);
    case Failure::guardrailViolation: throw generation(Case::guardrailViolation);
    case Failure::unsupportedGuide: throw generation(Case::unsupportedGuide);
    case Failure::unsupportedLanguageOrLocale: throw generation(Case::unsupportedLanguageOrLocale);
    case Failure::decodingFailure: throw generation(Case::decodingFailure);
    case Failure::rateLimited: throw generation(Case::rateLimited);
    case Failure::concurrentRequests: throw generation(Case::concurrentRequests);
    case Failure::refusal: throw generation(Case::refusal);
    case Failure::other: throw generation(Case::unrecognized);
    case Failure::schema: throw FM::GenerationSchema::SchemaError(FM::GenerationSchema::SchemaError::Case::unrecognized);
    case Failure::unknown: throw ForeignFailure();
  }
  throw generation(Case::unrecognized);
}

std::string requestDocument(const FM::SessionSettings& session, std::string_view prompt,
                            const FM::GenerationOptions& options, const FM::GenerationSchema* schema,
                            bool includeSchemaInPrompt) {
  std::string out;
  out.reserve(prompt.size() + (session.instructions ? session.instructions->size() : 0) + 160);
  out += "{\"version\":";
  JSONText::appendInteger(out, documentVersion);
  appendMember(out, "use_case");
  JSONText::appendString(out, useCaseName(session.useCase));
  appendMember(out, "guardrails");
  JSONText::appendString(out, guardrailsName(session.guardrails));
  if (session.instructions) {
    appendMember(out, "instructions");
    JSONText::appendString(out, *session.instructions);
  }
  if (!session.history.empty()) {
    appendMember(out, "history");
    out += '[';
    for (std::size_t i = 0; i < session.history.size(); ++i) {
      const FM::Turn& turn = session.history[i];
      out += i == 0 ? "{\"role\":" : ",{\"role\":";
      JSONText::appendString(out, turn.role == FM::Turn::Role::user ? "user" : "assistant");
      out += ",\"text\":";
      JSONText::appendString(out, turn.text);
      out += '}';
    }
    out += ']';
  }
  appendMember(out, "prompt");
  JSONText::appendString(out, prompt);
  appendMember(out, "options");
  appendOptions(out, options);
  if (schema != nullptr) {
    appendMember(out, "schema");
    schema->appendDescription(out);
    out += includeSchemaInPrompt ? ",\"include_schema_in_prompt\":true" : ",\"include_schema_in_prompt\":false";
  }
  out += '}';
  return out;
}

Answer readAnswer(std::string_view document) noexcept {
  try {
    if (document.size() > maximumAnswerBytes) return failed(Failure::other);
    const JSONValue value = JSONValue::decode(document);
    const JSONValue* version = value["version"];
    if (version == nullptr || version->integerValue() != documentVersion) return failed(Failure::other);
    const JSONValue* text = value["text"];
    const JSONValue* failure = value["failure"];
    if ((text == nullptr) == (failure == nullptr)) return failed(Failure::other);
    if (text != nullptr) {
      const std::string* content = text->stringValue();
      if (content == nullptr) return failed(Failure::other);
      return Answer{*content, Failure::other};
    }
    const std::string* name = failure->stringValue();
    if (name == nullptr) return failed(Failure::other);
    return failed(failureNamed(*name).value_or(Failure::other));
  } catch (...) {
    return failed(Failure::other);
  }
}

std::string textAnswer(std::string_view text) {
  std::string out = "{\"version\":";
  JSONText::appendInteger(out, documentVersion);
  out += ",\"text\":";
  if (Unicode::isValidUTF8(text)) {
    JSONText::appendString(out, text);
  } else {
    JSONText::appendString(out, Unicode::scrubbed(text));
  }
  out += '}';
  return out;
}

std::string failureAnswer(Failure failure) {
  std::string out = "{\"version\":";
  JSONText::appendInteger(out, documentVersion);
  out += ",\"failure\":";
  JSONText::appendString(out, failureName(failure));
  out += '}';
  return out;
}

}  // namespace TarnwickApple::Engines::Boundary
