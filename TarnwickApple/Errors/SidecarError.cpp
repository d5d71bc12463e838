// The table of error kinds and named errors, and the one place foreign failures become ours.
#include "TarnwickApple/Errors/SidecarError.hpp"

#include <cstddef>
#include <iterator>

#include "TarnwickApple/FoundationModels/GenerationSchema.hpp"
#include "TarnwickApple/FoundationModels/LanguageModelSession.hpp"

namespace TarnwickApple {

namespace {

// Each kind's wire string, indexed by ErrorKind: the one place the strings are written.
constexpr std::string_view kindTexts[] = {
    "ExceededContextWindowSizeError",
    "AssetsUnavailableError",
    "GuardrailViolationError",
    "UnsupportedGuideError",
    "UnsupportedLanguageOrLocaleError",
    "DecodingFailureError",
    "RateLimitedError",
    "ConcurrentRequestsError",
    "RefusalError",
    "InvalidGenerationSchemaError",
    "GenerationError",
    "FoundationModelsError",
};
static_assert(std::size(kindTexts) == errorKindCount, "every error kind needs its wire string");

}  // namespace

std::string_view rawText(ErrorKind kind) {
  const auto index = static_cast<std::size_t>(kind);
  return index < errorKindCount ? kindTexts[index] : kindTexts[static_cast<std::size_t>(ErrorKind::foundationModels)];
}

std::optional<ErrorKind> errorKind(std::string_view text) {
  for (std::size_t i = 0; i < errorKindCount; ++i) {
    if (kindTexts[i] == text) return static_cast<ErrorKind>(i);
  }
  return std::nullopt;
}

// The named errors: value, kind and message, one row each. A kind's wire string is kindTexts'.
using K = ErrorKind;
const SidecarError SidecarError::malformedRequest{K::foundationModels, "the request on stdin could not be decoded into a sidecar request"};
const SidecarError SidecarError::conflictingSampling{K::foundationModels, "random sampling cannot set both top and probability_threshold"};
const SidecarError SidecarError::schemaNotObject{K::invalidGenerationSchema, "the schema is not a JSON object"};
const SidecarError SidecarError::unsupportedConstruct{K::invalidGenerationSchema, "the schema uses a construct the on-device model cannot express"};
const SidecarError SidecarError::unsupportedReference{K::invalidGenerationSchema, "the schema references a definition outside its own $defs"};
const SidecarError SidecarError::invertedBounds{K::invalidGenerationSchema, "the schema declares a numeric bound whose minimum exceeds its maximum"};
const SidecarError SidecarError::invalidSchema{K::invalidGenerationSchema, "the schema does not resolve into a generation schema"};
const SidecarError SidecarError::deviceNotEligible{K::assetsUnavailable, "this device is not eligible for Apple Intelligence"};
const SidecarError SidecarError::appleIntelligenceNotEnabled{K::assetsUnavailable, "Apple Intelligence is not enabled on this device"};
const SidecarError SidecarError::modelNotReady{K::assetsUnavailable, "the on-device model is still downloading or preparing"};
const SidecarError SidecarError::assetsUnavailable{K::assetsUnavailable, "the on-device model assets are unavailable"};
const SidecarError SidecarError::exceededContextWindowSize{K::exceededContextWindowSize, "the prompt and response exceeded the model's context window"};
const SidecarError SidecarError::guardrailViolation{K::guardrailViolation, "the request tripped the on-device model's safety guardrails"};
const SidecarError SidecarError::unsupportedGuide{K::unsupportedGuide, "the schema uses a guide the on-device model does not support"};
const SidecarError SidecarError::unsupportedLanguageOrLocale{K::unsupportedLanguageOrLocale, "the prompt uses a language or locale the on-device model does not support"};
const SidecarError SidecarError::decodingFailure{K::decodingFailure, "the model's response could not be decoded into the requested schema"};
const SidecarError SidecarError::rateLimited{K::rateLimited, "the on-device model rate limited this request"};
const SidecarError SidecarError::concurrentRequests{K::concurrentRequests, "too many concurrent on-device model requests"};
const SidecarError SidecarError::refusal{K::refusal, "the on-device model refused to answer this prompt"};
const SidecarError SidecarError::generation{K::generation, "on-device generation failed"};
const SidecarError SidecarError::unknown{K::foundationModels, "the Foundation Models framework reported an error"};

std::span<const SidecarError* const> SidecarError::all() {
#define TARNWICK_LIST_NAMED_ERROR(name) &SidecarError::name,
  static const SidecarError* const values[] = {TARNWICK_NAMED_ERRORS(TARNWICK_LIST_NAMED_ERROR)};
#undef TARNWICK_LIST_NAMED_ERROR
  return values;
}

namespace {

const SidecarError& fromGenerationError(FoundationModels::LanguageModelSession::GenerationError::Case kind) {
  using Case = FoundationModels::LanguageModelSession::GenerationError::Case;
  switch (kind) {
    case Case::exceededContextWindowSize: return SidecarError::exceededContextWindowSize;
    case Case::assetsUnavailable: return SidecarError::assetsUnavailable;
    case Case::guardrailViolation: return SidecarError::guardrailViolation;
    case Case::unsupportedGuide: return SidecarError::unsupportedGuide;
    case Case::unsupportedLanguageOrLocale: return SidecarError::unsupportedLanguageOrLocale;
    case Case::decodingFailure: return SidecarError::decodingFailure;
    case Case::rateLimited: return SidecarError::rateLimited;
    case Case::concurrentRequests: return SidecarError::concurrentRequests;
    case Case::refusal: return SidecarError::refusal;
    case Case::unsupportedToolCall:
    case Case::timedOut:
    case Case::unrecognized:
      return SidecarError::generation;
  }
  return SidecarError::generation;
}

}  // namespace

SidecarError SidecarError::resolve(std::exception_ptr failure) noexcept {
  if (!failure) return unknown;
  try {
    std::rethrow_exception(failure);
  } catch (const SidecarError& error) {
    return error;
  } catch (const FoundationModels::GenerationSchema::SchemaError&) {
    return invalidSchema;
  } catch (const FoundationModels::LanguageModelSession::GenerationError& error) {
    return fromGenerationError(error.kind());
  } catch (...) {
    return unknown;
  }
}

}  // namespace TarnwickApple
