// The Linux stand-in framework's backend for test sidecars: the reference engine, unless
// TARNWICK_FRAMEWORK_DOUBLE switches it to an availability reason ("unavailable:<reason>") or
// to a failure the framework throws ("fail:<case>"), so every mapping of the shim runs. A number
// after "unavailable:" is the code the backend gives the stand-in. Any other setting is refused
// (a line on stderr, exit status 125), so a misspelt one fails its test.
#include <charconv>
#include <cstdio>
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

[[noreturn]] void refuse(std::string_view what, std::string_view value) {
  std::fprintf(stderr, "stand-in test backend: %.*s \"%.*s\" is not one it knows\n", static_cast<int>(what.size()),
               what.data(), static_cast<int>(value.size()), value.data());
  std::exit(125);
}

int32_t availability() {
  const auto reason = after("unavailable:");
  if (!reason) {
    if (!switchText().empty() && !after("fail:")) refuse("setting", switchText());
    return referenceAvailability();
  }
  if (*reason == "deviceNotEligible") return TARNWICK_FM_DEVICE_NOT_ELIGIBLE;
  if (*reason == "appleIntelligenceNotEnabled") return TARNWICK_FM_APPLE_INTELLIGENCE_NOT_ENABLED;
  if (*reason == "modelNotReady") return TARNWICK_FM_MODEL_NOT_READY;
  if (*reason == "other") return TARNWICK_FM_UNAVAILABLE_OTHER;  // a reason the framework adds later
  int32_t code = 0;
  const auto [end, error] = std::from_chars(reason->data(), reason->data() + reason->size(), code);
  if (error != std::errc() || end != reason->data() + reason->size()) refuse("availability reason", *reason);
  return code;
}

char* respond(const char* request, size_t length, size_t* answerLength) {
  try {
    if (const auto failure = after("fail:")) {
      tarnwick_fm_failure named = tarnwick_fm_failure_other;
      if (tarnwick_fm_failure_named(failure->data(), failure->size(), &named) == 0) refuse("failure name", *failure);
      return copyAnswer(std::string("{\"version\":1,\"failure\":\"") + tarnwick_fm_failure_name(named) + "\"}",
                        answerLength);
    }
    return copyAnswer(answerRequestDocument(std::string_view(request, length)), answerLength);
  } catch (...) {
    return nullptr;
  }
}

// Streamed: the reference engine's snapshots first, so a failure comes after partial lines.
char* stream(const char* request, size_t length, tarnwick_standin_snapshot_fn snapshot, void* context,
             size_t* answerLength) {
  char* answer = streamedReferenceAnswer(request, length, snapshot, context, answerLength);
  if (!after("fail:")) return answer;
  releaseAnswer(answer);
  return respond(request, length, answerLength);
}

const bool registered = (tarnwick_standin_register(availability, respond, releaseAnswer),
                         tarnwick_standin_register_stream(stream), true);

}  // namespace
}  // namespace TarnwickApple::Engines::StandIn
