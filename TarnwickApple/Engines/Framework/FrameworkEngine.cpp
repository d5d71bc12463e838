// The framework engine: marshals one call into a request document, calls the boundary, and
// turns the answer document back into text or the framework layer's own failure.
#include "TarnwickApple/Engines/Framework/FrameworkEngine.hpp"

#include <memory>

#include "TarnwickApple/Engines/Framework/FrameworkBoundary.h"
#include "TarnwickApple/Engines/Framework/internal/BoundaryDocuments.hpp"

namespace TarnwickApple::Engines {
namespace {

namespace FM = FoundationModels;
using Reason = FM::SystemLanguageModel::Availability::UnavailableReason;

struct AnswerRelease {
  void operator()(char* answer) const { tarnwick_fm_free(answer); }
};

// One call across the boundary; the answer is released on every path.
std::string exchange(const std::string& request) {
  std::size_t length = 0;
  const std::unique_ptr<char, AnswerRelease> answer(tarnwick_fm_respond(request.data(), request.size(), &length));
  Boundary::Answer read;
  if (answer != nullptr) read = Boundary::readAnswer(std::string_view(answer.get(), length));
  if (read.text) return std::move(*read.text);
  Boundary::throwFailure(read.failure);
}

}  // namespace

FM::SystemLanguageModel::Availability FrameworkEngine::availability() {
  switch (tarnwick_fm_availability()) {
    case TARNWICK_FM_AVAILABLE: return FM::SystemLanguageModel::Availability::available();
    case TARNWICK_FM_DEVICE_NOT_ELIGIBLE: return FM::SystemLanguageModel::Availability::unavailable(Reason::deviceNotEligible);
    case TARNWICK_FM_APPLE_INTELLIGENCE_NOT_ENABLED:
      return FM::SystemLanguageModel::Availability::unavailable(Reason::appleIntelligenceNotEnabled);
    case TARNWICK_FM_MODEL_NOT_READY: return FM::SystemLanguageModel::Availability::unavailable(Reason::modelNotReady);
    default: return FM::SystemLanguageModel::Availability::unavailable(Reason::unrecognized);
  }
}

std::string FrameworkEngine::respond(const FM::SessionSettings& session, std::string_view prompt,
                                     const FM::GenerationOptions& options) {
  return exchange(Boundary::requestDocument(session, prompt, options, nullptr, false));
}

std::string FrameworkEngine::respond(const FM::SessionSettings& session, std::string_view prompt,
                                     const FM::GenerationSchema& schema, bool includeSchemaInPrompt,
                                     const FM::GenerationOptions& options) {
  return exchange(Boundary::requestDocument(session, prompt, options, &schema, includeSchemaInPrompt));
}

}  // namespace TarnwickApple::Engines
