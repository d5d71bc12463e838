// The framework engine: marshals one call into a request document, calls the boundary, and
// turns the answer document back into text or the framework layer's own failure.
#include "TarnwickApple/Engines/Framework/FrameworkEngine.hpp"

#include <exception>
#include <memory>

#include "TarnwickApple/Engines/Framework/FrameworkBoundary.h"
#include "TarnwickApple/Engines/Framework/BoundaryDocuments.hpp"

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

// What a streamed call's snapshots go to, and whether that asked to stop. Nothing thrown may
// cross the C boundary: a failure of the sink is kept and thrown once the call has returned.
struct StreamTarget {
  const FM::SnapshotSink* sink;
  bool stopped = false;
  std::exception_ptr failure;
};

extern "C" int32_t deliverSnapshot(void* context, const char* snapshot, size_t length) {
  auto* target = static_cast<StreamTarget*>(context);
  if (target->stopped) return 0;
  try {
    target->stopped = !(*target->sink)(std::string_view(snapshot, length));
  } catch (...) {
    target->failure = std::current_exception();
    target->stopped = true;
  }
  return target->stopped ? 0 : 1;
}

std::string streamedExchange(const std::string& request, const FM::SnapshotSink& sink) {
  StreamTarget target{&sink, false, nullptr};
  std::size_t length = 0;
  const std::unique_ptr<char, AnswerRelease> answer(
      tarnwick_fm_stream(request.data(), request.size(), deliverSnapshot, &target, &length));
  if (target.failure) std::rethrow_exception(target.failure);
  if (target.stopped) throw FM::GenerationStopped();
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

namespace TarnwickApple::Engines {

std::string FrameworkEngine::streamResponse(const FM::SessionSettings& session, std::string_view prompt,
                                            const FM::GenerationOptions& options, const FM::SnapshotSink& sink) {
  return streamedExchange(Boundary::requestDocument(session, prompt, options, nullptr, false), sink);
}

std::string FrameworkEngine::streamResponse(const FM::SessionSettings& session, std::string_view prompt,
                                            const FM::GenerationSchema& schema, bool includeSchemaInPrompt,
                                            const FM::GenerationOptions& options, const FM::SnapshotSink& sink) {
  return streamedExchange(Boundary::requestDocument(session, prompt, options, &schema, includeSchemaInPrompt), sink);
}

}  // namespace TarnwickApple::Engines
