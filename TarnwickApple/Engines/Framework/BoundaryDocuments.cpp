// Writing the boundary's request document, reading its answer document, and what each failure
// name means to the framework layer.
#include "TarnwickApple/Engines/Framework/BoundaryDocuments.hpp"

#include <iterator>
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

// What a failure name stands for in the framework layer: a case of GenerationError, or one of
// the boundary's own outcomes.
enum class Thrown { generationError, schemaError, foreign };

struct FailureMeaning {
  Failure failure;
  Thrown thrown;
  Case generationCase;  // read for Thrown::generationError only
};

// The one table both directions read, in the header's order of names. A generation failure is
// the framework layer's case of the same name.
#define TARNWICK_GENERATION_MEANING(name) {tarnwick_fm_failure_##name, Thrown::generationError, Case::name},
constexpr FailureMeaning failureMeanings[] = {
    TARNWICK_FM_GENERATION_FAILURES(TARNWICK_GENERATION_MEANING)
    {tarnwick_fm_failure_other, Thrown::generationError, Case::unrecognized},
    {tarnwick_fm_failure_schema, Thrown::schemaError, Case::unrecognized},
    {tarnwick_fm_failure_unknown, Thrown::foreign, Case::unrecognized},
};
#undef TARNWICK_GENERATION_MEANING

constexpr bool inHeaderOrder() {
  for (std::size_t i = 0; i < std::size(failureMeanings); ++i) {
    if (static_cast<std::size_t>(failureMeanings[i].failure) != i) return false;
  }
  return true;
}
static_assert(std::size(failureMeanings) == TARNWICK_FM_FAILURE_COUNT, "a failure name has no meaning here");
static_assert(inHeaderOrder(), "failureMeanings is indexed by the header's failure enumerators");

const FailureMeaning& meaningOf(Failure failure) {
  const auto index = static_cast<std::size_t>(failure);
  return index < std::size(failureMeanings) ? failureMeanings[index] : failureMeanings[tarnwick_fm_failure_other];
}

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

Failure named(std::string_view name) {
  Failure failure = tarnwick_fm_failure_other;
  return tarnwick_fm_failure_named(name.data(), name.size(), &failure) != 0 ? failure : tarnwick_fm_failure_other;
}

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

Failure failureOf(Case kind) {
  for (const FailureMeaning& entry : failureMeanings) {
    if (entry.thrown == Thrown::generationError && entry.generationCase == kind) return entry.failure;
  }
  return tarnwick_fm_failure_other;
}

void throwFailure(Failure failure) {
  const FailureMeaning& meaning = meaningOf(failure);
  switch (meaning.thrown) {
    case Thrown::generationError:
      throw FM::LanguageModelSession::GenerationError(meaning.generationCase, {"reported across the framework boundary"});
    case Thrown::schemaError:
      throw FM::GenerationSchema::SchemaError(FM::GenerationSchema::SchemaError::Case::unrecognized);
    case Thrown::foreign:
      throw ForeignFailure();
  }
  throw ForeignFailure();
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
    if (document.size() > maximumAnswerBytes) return failed(tarnwick_fm_failure_other);
    const JSONValue value = JSONValue::decode(document);
    const JSONValue* version = value["version"];
    if (version == nullptr || version->integerValue() != documentVersion) return failed(tarnwick_fm_failure_other);
    const JSONValue* text = value["text"];
    const JSONValue* failure = value["failure"];
    if ((text == nullptr) == (failure == nullptr)) return failed(tarnwick_fm_failure_other);
    if (text != nullptr) {
      const auto content = text->stringValue();
      if (!content) return failed(tarnwick_fm_failure_other);
      return Answer{std::string(*content), tarnwick_fm_failure_other};
    }
    const auto name = failure->stringValue();
    if (!name) return failed(tarnwick_fm_failure_other);
    return failed(named(*name));
  } catch (...) {
    return failed(tarnwick_fm_failure_other);
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
  JSONText::appendString(out, tarnwick_fm_failure_name(failure));
  out += '}';
  return out;
}

}  // namespace TarnwickApple::Engines::Boundary
