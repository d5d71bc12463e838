// The documents that cross the framework boundary: the request the engine writes, the answer it
// reads, and what each failure name means on this side. Used by the framework engine and by whatever
// answers in the platform's place (test double, stand-in).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "TarnwickApple/Engines/Framework/FrameworkBoundary.h"
#include "TarnwickApple/FoundationModels/Engine.hpp"
#include "TarnwickApple/FoundationModels/LanguageModelSession.hpp"

namespace TarnwickApple::Engines::Boundary {

// The "version" member of both documents.
inline constexpr long long documentVersion = 1;

// An answer longer than this is broken: the model's context window is a few thousand tokens, so
// no honest answer comes near it, and reading it would only risk memory.
inline constexpr std::size_t maximumAnswerBytes = std::size_t{256} << 20;

// How a generation ended when it did not give text: one of the header's failure names.
using Failure = tarnwick_fm_failure;

// The failure an answer names, from the GenerationError case the framework layer threw; cases
// with no name of their own are "other".
Failure failureOf(FoundationModels::LanguageModelSession::GenerationError::Case kind);

// The session settings' names in the request document, both ways.
std::string_view useCaseName(FoundationModels::SystemLanguageModel::UseCase useCase);
std::string_view guardrailsName(FoundationModels::SystemLanguageModel::Guardrails guardrails);
std::optional<FoundationModels::SystemLanguageModel::UseCase> useCaseNamed(std::string_view name);
std::optional<FoundationModels::SystemLanguageModel::Guardrails> guardrailsNamed(std::string_view name);

// Throws what the framework layer would have thrown for `failure`: GenerationError,
// GenerationSchema::SchemaError, or a failure of no framework type.
[[noreturn]] void throwFailure(Failure failure);

// The request document for one generation; `schema` is null for plain text.
std::string requestDocument(const FoundationModels::SessionSettings& session, std::string_view prompt,
                            const FoundationModels::GenerationOptions& options,
                            const FoundationModels::GenerationSchema* schema, bool includeSchemaInPrompt);

// What an answer document says: text, or how it failed. Anything unreadable is "other".
struct Answer {
  std::optional<std::string> text;
  Failure failure = tarnwick_fm_failure_other;  // when there is no text
};
Answer readAnswer(std::string_view document) noexcept;

// Answer documents, for the side that answers. Ill-formed UTF-8 in `text` is repaired first.
std::string textAnswer(std::string_view text);
std::string failureAnswer(Failure failure);

}  // namespace TarnwickApple::Engines::Boundary
