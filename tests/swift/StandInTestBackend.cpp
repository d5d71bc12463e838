// The Linux stand-in framework's backend for test sidecars: the reference engine, unless
// TARNWICK_FRAMEWORK_DOUBLE switches it to an availability reason ("unavailable:<reason>") or
// to a failure the framework throws ("fail:<case>"), so every mapping of the shim runs. A number
// after "unavailable:" is the code the backend gives the stand-in.
#include <charconv>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "TarnwickApple/Engines/Framework/FrameworkBoundary.h"
#include "testing/Linux/StandIn.h"
#include "testing/Linux/StandInAnswers.hpp"
#include "testing/ReferenceBoundary.hpp"

namespace TarnwickApple::Engines::StandIn {
namespace {

std::string_view switchText() {
  const char* text = std::getenv("TARNWICK_FRAMEWORK_DOUBLE");
  return text == nullptr ? std::string_view() : std::string_view(text);
}

// The rest of the switch after `prefix`, or nothing when it does not start so.
std::optional<std::string_view> after(std::string_view prefix) {
  const std::string_view text = switchText();
  if (text.substr(0, prefix.size()) != prefix) return std::nullopt;
  return text.substr(prefix.size());
}

int32_t availability() {
  const auto reason = after("unavailable:");
  if (!reason) return referenceAvailability();
  if (*reason == "deviceNotEligible") return TARNWICK_FM_DEVICE_NOT_ELIGIBLE;
  if (*reason == "appleIntelligenceNotEnabled") return TARNWICK_FM_APPLE_INTELLIGENCE_NOT_ENABLED;
  if (*reason == "modelNotReady") return TARNWICK_FM_MODEL_NOT_READY;
  int32_t code = 0;
  const auto [end, error] = std::from_chars(reason->data(), reason->data() + reason->size(), code);
  if (error == std::errc() && end == reason->data() + reason->size()) return code;
  return TARNWICK_FM_UNAVAILABLE_OTHER;  // "other": a reason the framework adds later
}

char* respond(const char* request, size_t length, size_t* answerLength) {
  try {
    if (const auto failure = after("fail:")) {
      return copyAnswer("{\"version\":1,\"failure\":\"" + std::string(*failure) + "\"}", answerLength);
    }
    return copyAnswer(answerRequestDocument(std::string_view(request, length)), answerLength);
  } catch (...) {
    return nullptr;
  }
}

// Streamed: the reference engine's snapshots first, so a failure comes after partial lines.
char* stream(const char* request, size_t length, tarnwick_standin_snapshot_fn snapshot, void* context,
             size_t* answerLength) {
  try {
    const auto sink = [&](std::string_view text) { return snapshot(context, text.data(), text.size()) != 0; };
    std::string answer = answerStreamedRequestDocument(std::string_view(request, length), sink);
    if (after("fail:")) return respond(request, length, answerLength);
    return copyAnswer(answer, answerLength);
  } catch (...) {
    return nullptr;
  }
}

const bool registered = (tarnwick_standin_register(availability, respond, releaseAnswer),
                         tarnwick_standin_register_stream(stream), true);

}  // namespace
}  // namespace TarnwickApple::Engines::StandIn
