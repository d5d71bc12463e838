// The sidecar built on the framework engine over the boundary's test double, as a parent sees
// it: every availability reason, every failure the platform can report, every broken answer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/Expectations.hpp"
#include "support/Subprocess.hpp"

namespace {

const std::string plainRequest = R"({"prompt":"hello","use_case":"general","guardrails":"default"})";
const std::string schemaRequest =
    R"({"prompt":"hello","use_case":"general","guardrails":"default","schema":{"type":"object","properties":{"a":{"type":"boolean"}}}})";

// The framework-engine sidecar under test: over the boundary's test double, or with
// TARNWICK_FRAMEWORK_SIDECAR=swift over the Swift shim and the stand-in framework.
std::string frameworkSidecar() {
  const char* variant = std::getenv("TARNWICK_FRAMEWORK_SIDECAR");
  return variant != nullptr && *variant != '\0' ? variant : "double";
}

Subprocess::Result run(const std::string& setting, const std::vector<std::string>& args, const std::string& input) {
  setenv("TARNWICK_FRAMEWORK_DOUBLE", setting.c_str(), 1);
  auto result = Subprocess::run(Subprocess::testSidecarPath(frameworkSidecar()), args, input);
  unsetenv("TARNWICK_FRAMEWORK_DOUBLE");
  return result;
}

std::string errorLine(const std::string& kind, const std::string& message) {
  return R"({"status":"error","kind":")" + kind + R"(","message":")" + message + "\"}\n";
}

TEST(FrameworkSidecar, AnswersLikeTheReferenceEngine) {
  expectLine(run("", {}, plainRequest), "{\"status\":\"ok\",\"text\":\"hello\"}\n");
  expectLine(run("", {}, schemaRequest), "{\"status\":\"ok\",\"text\":\"{\\\"a\\\":false}\"}\n");
  expectLine(run("", {"--probe"}, ""), "{\"available\":true,\"reason\":null}\n", 0);
}

TEST(FrameworkSidecar, EveryAvailabilityReason) {
  struct Case {
    const char* setting;
    const char* reason;
    const char* message;
  };
  const Case table[] = {
      {"unavailable:deviceNotEligible", "DEVICE_NOT_ELIGIBLE", "this device is not eligible for Apple Intelligence"},
      {"unavailable:appleIntelligenceNotEnabled", "APPLE_INTELLIGENCE_NOT_ENABLED", "Apple Intelligence is not enabled on this device"},
      {"unavailable:modelNotReady", "MODEL_NOT_READY", "the on-device model is still downloading or preparing"},
      {"unavailable:other", "UNKNOWN", "the on-device model assets are unavailable"},
      {"unavailable:99", "UNKNOWN", "the on-device model assets are unavailable"},
      {"unavailable:-1", "UNKNOWN", "the on-device model assets are unavailable"},
  };
  for (const Case& c : table) {
    SCOPED_TRACE(c.setting);
    expectLine(run(c.setting, {"--probe"}, ""), std::string("{\"available\":false,\"reason\":\"") + c.reason + "\"}\n", 1);
    expectLine(run(c.setting, {}, plainRequest), errorLine("AssetsUnavailableError", c.message));
  }
}

TEST(FrameworkSidecar, EveryFailureTheBoundaryNames) {
  struct Case {
    const char* failure;
    const char* kind;
    const char* message;
  };
  const Case table[] = {
      {"exceededContextWindowSize", "ExceededContextWindowSizeError", "the prompt and response exceeded the model's context window"},
      {"assetsUnavailable", "AssetsUnavailableError", "the on-device model assets are unavailable"},
      {"guardrailViolation", "GuardrailViolationError", "the request tripped the on-device model's safety guardrails"},
      {"unsupportedGuide", "UnsupportedGuideError", "the schema uses a guide the on-device model does not support"},
      {"unsupportedLanguageOrLocale", "UnsupportedLanguageOrLocaleError",
       "the prompt uses a language or locale the on-device model does not support"},
      {"decodingFailure", "DecodingFailureError", "the model's response could not be decoded into the requested schema"},
      {"rateLimited", "RateLimitedError", "the on-device model rate limited this request"},
      {"concurrentRequests", "ConcurrentRequestsError", "too many concurrent on-device model requests"},
      {"refusal", "RefusalError", "the on-device model refused to answer this prompt"},
      {"other", "GenerationError", "on-device generation failed"},
      {"schema", "InvalidGenerationSchemaError", "the schema does not resolve into a generation schema"},
      {"unknown", "FoundationModelsError", "the Foundation Models framework reported an error"},
  };
  for (const Case& c : table) {
    SCOPED_TRACE(c.failure);
    const std::string setting = std::string("fail:") + c.failure;
    expectLine(run(setting, {}, plainRequest), errorLine(c.kind, c.message));
    expectLine(run(setting, {}, schemaRequest), errorLine(c.kind, c.message));
  }
  // Failures found before the boundary is called come first, as with any engine.
  expectLine(run("fail:refusal", {}, "{}"),
             errorLine("FoundationModelsError", "the request on stdin could not be decoded into a sidecar request"));
  expectLine(run("fail:refusal", {}, R"({"prompt":"p","use_case":"general","guardrails":"default","schema":1})"),
             errorLine("InvalidGenerationSchemaError", "the schema is not a JSON object"));
}

TEST(FrameworkSidecar, BrokenAnswersAreOneGenerationErrorLine) {
  if (frameworkSidecar() != "double") GTEST_SKIP() << "broken answers are made by the boundary's test double";
  const char* const kinds[] = {"null",      "empty",   "notJSON",      "invalidUTF8",   "nul",
                               "array",     "noVersion", "wrongVersion", "neither",      "both",
                               "textNotString", "failureNotString", "unknownFailure", "truncated", "enormous"};
  for (const char* kind : kinds) {
    SCOPED_TRACE(kind);
    expectLine(run(std::string("broken:") + kind, {}, plainRequest), errorLine("GenerationError", "on-device generation failed"));
  }
}

// A misspelt setting must fail the test that uses it, not answer as a listed setting does.
TEST(FrameworkSidecar, TheDoubleRefusesSettingsItDoesNotKnow) {
  for (const char* setting : {"broken:notJSOn", "fail:refusl", "fail:", "unavailable:modelNotReaddy", "brokn:null", "refusal"}) {
    SCOPED_TRACE(setting);
    const auto result = run(setting, {}, plainRequest);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.exitStatus, 125);
    const std::string_view value = std::string_view(setting).substr(std::string_view(setting).find(':') + 1);
    EXPECT_NE(result.err.find(std::string(value) + "\" is not one"), std::string::npos) << result.err;
  }
}

}  // namespace

namespace {

// Streamed, every failure the platform reports after snapshots still ends with its failure line.
TEST(FrameworkSidecarStream, EveryFailureAfterPartialLines) {
  const std::string streamed = R"({"prompt":"one two three four five six","use_case":"general","guardrails":"default","stream":true})";
  const std::string partials = "{\"status\":\"partial\",\"text\":\"one\"}\n{\"status\":\"partial\",\"text\":\"one two\"}\n"
                               "{\"status\":\"partial\",\"text\":\"one two three four\"}\n";
  expectLine(run("", {}, streamed), partials + "{\"status\":\"ok\",\"text\":\"one two three four five six\"}\n");
  const std::pair<const char*, std::string> table[] = {
      {"fail:exceededContextWindowSize", errorLine("ExceededContextWindowSizeError", "the prompt and response exceeded the model's context window")},
      {"fail:refusal", errorLine("RefusalError", "the on-device model refused to answer this prompt")},
      {"fail:guardrailViolation", errorLine("GuardrailViolationError", "the request tripped the on-device model's safety guardrails")},
      {"fail:rateLimited", errorLine("RateLimitedError", "the on-device model rate limited this request")},
      {"fail:other", errorLine("GenerationError", "on-device generation failed")},
      {"fail:schema", errorLine("InvalidGenerationSchemaError", "the schema does not resolve into a generation schema")},
      {"fail:unknown", errorLine("FoundationModelsError", "the Foundation Models framework reported an error")},
      {"broken:truncated", errorLine("GenerationError", "on-device generation failed")},
      {"broken:null", errorLine("GenerationError", "on-device generation failed")},
  };
  for (const auto& [setting, line] : table) {
    SCOPED_TRACE(setting);
    // Broken answers are made by the boundary's test double only.
    if (frameworkSidecar() != "double" && std::string_view(setting).starts_with("broken:")) continue;
    expectLine(run(setting, {}, streamed), partials + line);
  }
}

}  // namespace
