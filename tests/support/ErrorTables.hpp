// The expected error for each generation failure case, shared by the tests of `resolve` and of
// the session driver.
#pragma once

#include <utility>
#include <vector>

#include "TarnwickApple/FoundationModels/LanguageModelSession.hpp"
#include "TarnwickApple/Errors/SidecarError.hpp"

inline const std::vector<std::pair<TarnwickApple::FoundationModels::LanguageModelSession::GenerationError::Case,
                                   const TarnwickApple::SidecarError*>>&
generationFailureTable() {
  using Case = TarnwickApple::FoundationModels::LanguageModelSession::GenerationError::Case;
  using E = TarnwickApple::SidecarError;
  static const std::vector<std::pair<Case, const E*>> table = {
      {Case::exceededContextWindowSize, &E::exceededContextWindowSize},
      {Case::assetsUnavailable, &E::assetsUnavailable},
      {Case::guardrailViolation, &E::guardrailViolation},
      {Case::unsupportedGuide, &E::unsupportedGuide},
      {Case::unsupportedLanguageOrLocale, &E::unsupportedLanguageOrLocale},
      {Case::decodingFailure, &E::decodingFailure},
      {Case::rateLimited, &E::rateLimited},
      {Case::concurrentRequests, &E::concurrentRequests},
      {Case::refusal, &E::refusal},
      {Case::unsupportedToolCall, &E::generation},
      {Case::timedOut, &E::generation},
  };
  return table;
}
