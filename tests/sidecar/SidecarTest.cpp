// The session driver over test engines: probe and availability tables, options, failure order.
#include "TarnwickApple/Protocol/RequestOptions.hpp"
#include "TarnwickApple/Sidecar.hpp"

#include <gtest/gtest.h>

#include "support/FaultEngine.hpp"
#include "support/ErrorTables.hpp"
#include "support/Printers.hpp"
#include "TarnwickApple/Engines/Reference/ReferenceEngine.hpp"

namespace TarnwickApple {
namespace {

namespace FM = FoundationModels;
using Reason = FM::SystemLanguageModel::Availability::UnavailableReason;
using GE = FM::LanguageModelSession::GenerationError;

Request request(const std::string& extra = "") {
  return Request::decode(R"({"prompt":"hello world","use_case":"general","guardrails":"default")" + extra + "}");
}

struct TestEngines {
  Engines::ReferenceEngine reference;
  Testing::FaultEngine fault{reference};
};

TEST(SidecarProbe, ReasonTable) {
  const std::pair<Reason, const char*> table[] = {
      {Reason::deviceNotEligible, "DEVICE_NOT_ELIGIBLE"},
      {Reason::appleIntelligenceNotEnabled, "APPLE_INTELLIGENCE_NOT_ENABLED"},
      {Reason::modelNotReady, "MODEL_NOT_READY"},
      {Reason::unrecognized, "UNKNOWN"},
  };
  for (const auto& [reason, code] : table) {
    TestEngines e;
    e.fault.availabilityOverride = FM::SystemLanguageModel::Availability::unavailable(reason);
    EXPECT_EQ(Sidecar::probe(e.fault), (Probe{false, code}));
  }
  TestEngines e;
  EXPECT_EQ(Sidecar::probe(e.fault), (Probe{true, std::nullopt}));
}

TEST(SidecarGenerate, UnavailableRequestsFailWithTheirMessage) {
  const std::pair<Reason, const SidecarError*> table[] = {
      {Reason::deviceNotEligible, &SidecarError::deviceNotEligible},
      {Reason::appleIntelligenceNotEnabled, &SidecarError::appleIntelligenceNotEnabled},
      {Reason::modelNotReady, &SidecarError::modelNotReady},
      {Reason::unrecognized, &SidecarError::assetsUnavailable},
  };
  for (const auto& [reason, error] : table) {
    TestEngines e;
    e.fault.availabilityOverride = FM::SystemLanguageModel::Availability::unavailable(reason);
    // Availability comes before the sampling conflict and the schema.
    const Request r = request(R"(,"options":{"sampling":{"mode":"random","top":1,"probability_threshold":0.5}},"schema":5)");
    EXPECT_EQ(Sidecar::generate(r, e.fault), Reply::failure(*error));
    EXPECT_EQ(e.fault.respondCalls, 0);
  }
}

TEST(SidecarGenerationOptions, SamplingRules) {
  using SM = FM::SamplingMode;
  const auto options = [](const std::string& json) {
    return generationOptions(request(R"(,"options":)" + json).options);
  };
  EXPECT_EQ(generationOptions(std::nullopt), FM::GenerationOptions{});
  EXPECT_EQ(options("{}"), FM::GenerationOptions{});
  EXPECT_EQ(options(R"({"sampling":{"mode":"greedy"}})").sampling, SM::greedy());
  EXPECT_EQ(options(R"({"sampling":{"mode":"random","seed":9}})").sampling, SM::random(1.0, 9));
  EXPECT_EQ(options(R"({"sampling":{"mode":"random"}})").sampling, SM::random(1.0, std::nullopt));
  EXPECT_EQ(options(R"({"sampling":{"mode":"random","probability_threshold":0.25}})").sampling,
            SM::random(0.25, std::nullopt));
  EXPECT_EQ(options(R"({"sampling":{"mode":"random","top":40,"seed":18446744073709551615}})").sampling,
            SM::random(std::int64_t{40}, 18446744073709551615ull));
  const FM::GenerationOptions passed = options(R"({"temperature":-1,"maximum_response_tokens":0})");
  EXPECT_EQ(passed.temperature, -1.0);
  EXPECT_EQ(passed.maximumResponseTokens, 0);
  EXPECT_FALSE(passed.sampling);
  try {
    options(R"({"sampling":{"mode":"random","top":1,"probability_threshold":0.5}})");
    ADD_FAILURE() << "no conflict reported";
  } catch (const SidecarError& error) {
    EXPECT_EQ(error, SidecarError::conflictingSampling);
  }
}

TEST(SidecarGenerate, SamplingConflictComesBeforeTheSchema) {
  TestEngines e;
  const Request r = request(R"(,"options":{"sampling":{"mode":"random","top":1,"probability_threshold":0.5}},"schema":5)");
  EXPECT_EQ(Sidecar::generate(r, e.fault), Reply::failure(SidecarError::conflictingSampling));
}

TEST(SidecarGenerate, SchemaThatDoesNotTranslateFailsBeforeGeneration) {
  TestEngines e;
  EXPECT_EQ(Sidecar::generate(request(R"(,"schema":"x")"), e.fault), Reply::failure(SidecarError::schemaNotObject));
  EXPECT_EQ(e.fault.respondCalls, 0);
}

TEST(SidecarGenerate, PlainTextIsTheEcho) {
  TestEngines e;
  EXPECT_EQ(Sidecar::generate(request(), e.fault), Reply::ok("hello world"));
  EXPECT_EQ(Sidecar::generate(request(R"(,"options":{"sampling":{"mode":"random","seed":3},"temperature":9})"), e.fault),
            Reply::ok("hello world"));
}

TEST(SidecarGenerate, EveryGenerationFailure) {
  for (const auto& [kind, error] : generationFailureTable()) {
    for (const char* schema : {"", R"(,"schema":{"type":"string"})"}) {
      TestEngines e;
      e.fault.generationFailure = kind;
      EXPECT_EQ(Sidecar::generate(request(schema), e.fault), Reply::failure(*error));
      EXPECT_EQ(e.fault.respondCalls, 1);
    }
  }
}

// An engine whose answer is not well-formed UTF-8: the layer repairs it before it leaves.
class BrokenTextEngine : public FM::EngineWrapper {
 public:
  using EngineWrapper::EngineWrapper;
  std::string respond(const FM::SessionSettings&, std::string_view, const FM::GenerationOptions&) override {
    return "a\xff" "b\xc3";
  }
};

TEST(SidecarGenerate, IllFormedEngineTextIsRepaired) {
  Engines::ReferenceEngine reference;
  BrokenTextEngine engine(reference);
  EXPECT_EQ(Sidecar::generate(request(), engine), Reply::ok("a\xEF\xBF\xBD" "b\xEF\xBF\xBD"));
}

// An engine that throws something no one knows.
class StrangeEngine : public FM::EngineWrapper {
 public:
  using EngineWrapper::EngineWrapper;
  std::string respond(const FM::SessionSettings&, std::string_view, const FM::GenerationOptions&) override {
    throw std::logic_error("strange");
  }
};

TEST(SidecarGenerate, ForeignFailureIsUnknown) {
  Engines::ReferenceEngine reference;
  StrangeEngine engine(reference);
  EXPECT_EQ(Sidecar::generate(request(), engine), Reply::failure(SidecarError::unknown));
}

}  // namespace
}  // namespace TarnwickApple
