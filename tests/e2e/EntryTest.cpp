// What a parent process sees of `tarnwick_apple`: argument handling, one line on stdout, nothing
// on stderr, and the exit status, for probes and plain-text requests.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Expectations.hpp"
#include "support/Subprocess.hpp"

namespace {

const std::string malformedLine =
    "{\"status\":\"error\",\"kind\":\"FoundationModelsError\",\"message\":\"the request on stdin could not be "
    "decoded into a sidecar request\"}\n";
const std::string usableLine = "{\"available\":true,\"reason\":null}\n";

std::string sidecar() { return Subprocess::sidecarUnderTest(); }

std::string request(const std::string& prompt, const std::string& extra = "") {
  return R"({"prompt":)" + prompt + R"(,"use_case":"general","guardrails":"default")" + extra + "}";
}


TEST(EntryProbe, AnyPositionAnyCountAndStdinIgnored) {
  const std::vector<std::vector<std::string>> argumentLists = {
      {"--probe"}, {"x", "--probe"}, {"--probe", "--probe"}, {"", "--probe", "y"}};
  for (const auto& args : argumentLists) {
    expectLine(Subprocess::run(sidecar(), args, request("\"ignored\"")), usableLine, 0);
  }
  expectLine(Subprocess::run(sidecar(), {"--probe"}, "this is not json"), usableLine, 0);
}

TEST(EntryProbe, LookalikesTakeTheRequestPath) {
  for (const std::string& arg : std::vector<std::string>{"--Probe", "-probe", "probe", "--probe=1", "--probe ", " --probe", "--PROBE"}) {
    SCOPED_TRACE(arg);
    expectLine(Subprocess::run(sidecar(), {arg}, ""), malformedLine, 0);
  }
}

TEST(EntryProbe, EveryUnavailabilityReason) {
  const std::pair<const char*, const char*> table[] = {
      {"deviceNotEligible", "DEVICE_NOT_ELIGIBLE"},
      {"appleIntelligenceNotEnabled", "APPLE_INTELLIGENCE_NOT_ENABLED"},
      {"modelNotReady", "MODEL_NOT_READY"},
      {"unrecognized", "UNKNOWN"},
  };
  for (const auto& [variant, reason] : table) {
    SCOPED_TRACE(variant);
    expectLine(Subprocess::run(Subprocess::testSidecarPath(variant), {"--probe"}, ""),
               std::string("{\"available\":false,\"reason\":\"") + reason + "\"}\n", 1);
  }
}

TEST(EntryRequest, UnavailableModelGivesAssetsLineWithStatusZero) {
  const std::pair<const char*, const char*> table[] = {
      {"deviceNotEligible", "this device is not eligible for Apple Intelligence"},
      {"appleIntelligenceNotEnabled", "Apple Intelligence is not enabled on this device"},
      {"modelNotReady", "the on-device model is still downloading or preparing"},
      {"unrecognized", "the on-device model assets are unavailable"},
  };
  for (const auto& [variant, message] : table) {
    SCOPED_TRACE(variant);
    expectLine(Subprocess::run(Subprocess::testSidecarPath(variant), {}, request("\"hi\"")),
               std::string("{\"status\":\"error\",\"kind\":\"AssetsUnavailableError\",\"message\":\"") + message + "\"}\n", 0);
    // A request that does not decode never asks about availability.
    expectLine(Subprocess::run(Subprocess::testSidecarPath(variant), {}, "{}"), malformedLine, 0);
  }
}

TEST(EntryRequest, MalformedInputs) {
  for (const std::string& input : std::vector<std::string>{"", " \n\t", "null", "{}", "[]", "{\"prompt\":\"p\"}", "\xEF\xBB\xBF", "{\"prompt\":\"p\",",
                                   request("\"p\"", ",\"options\":{\"maximum_response_tokens\":1.5}"),
                                   request("\"p\"", ",\"options\":{\"sampling\":{\"mode\":\"GREEDY\"}}")}) {
    SCOPED_TRACE(input);
    expectLine(Subprocess::run(sidecar(), {}, input), malformedLine, 0);
  }
}

TEST(EntryRequest, PlainTextEchoedAndEscaped) {
  expectLine(Subprocess::run(sidecar(), {}, request("\"\"")), "{\"status\":\"ok\",\"text\":\"\"}\n", 0);
  expectLine(Subprocess::run(sidecar(), {}, request(R"("say \"hi\"/\n\u00e9\ud83d\ude00\u0000\u001f")")),
             "{\"status\":\"ok\",\"text\":\"say \\\"hi\\\"/\\n\xC3\xA9\xF0\x9F\x98\x80\\u0000\\u001f\"}\n", 0);
  // Instructions, options and unknown members do not change an echo; a token limit cuts it.
  expectLine(Subprocess::run(sidecar(), {}, request("\"hello world\"", R"(,"instructions":"be brief","x":1,
      "options":{"temperature":0.5,"sampling":{"mode":"random","seed":18446744073709551615}})")),
             "{\"status\":\"ok\",\"text\":\"hello world\"}\n", 0);
  expectLine(Subprocess::run(sidecar(), {}, request("\"hello world\"", R"(,"options":{"maximum_response_tokens":2})")),
             "{\"status\":\"ok\",\"text\":\"hello\"}\n", 0);
}

TEST(EntryRequest, DriverFailuresAreLinesWithStatusZero) {
  expectLine(Subprocess::run(sidecar(), {}, request("\"p\"", R"(,"options":{"sampling":{"mode":"random","top":2,"probability_threshold":0.5}},"schema":7)")),
             "{\"status\":\"error\",\"kind\":\"FoundationModelsError\",\"message\":\"random sampling cannot set both top and probability_threshold\"}\n", 0);
  expectLine(Subprocess::run(sidecar(), {}, request("\"p\"", R"(,"schema":[])")),
             "{\"status\":\"error\",\"kind\":\"InvalidGenerationSchemaError\",\"message\":\"the schema is not a JSON object\"}\n", 0);
  const std::string big = "\"" + std::string(1 << 20, 'x') + "\"";
  expectLine(Subprocess::run(sidecar(), {}, request(big)),
             "{\"status\":\"error\",\"kind\":\"ExceededContextWindowSizeError\",\"message\":\"the prompt and response exceeded the model's context window\"}\n", 0);
}

TEST(EntryRequest, MegabyteTextsWrittenWhole) {
  std::string prompt;
  for (int i = 0; i < (1 << 20); ++i) prompt += "a\"/\n\xC3\xA9"[i % 6];
  std::string escaped;
  for (char c : prompt) {
    if (c == '"') escaped += "\\\"";
    else if (c == '\n') escaped += "\\n";
    else escaped += c;
  }
  const auto result = Subprocess::run(Subprocess::testSidecarPath("echo"), {}, request("\"" + escaped + "\""));
  expectLine(result, "{\"status\":\"ok\",\"text\":\"" + escaped + "\"}\n", 0);
}

}  // namespace

namespace {

TEST(EntryRequest, StructuredRepliesAreJSONTextInOneString) {
  const std::string schema = R"(,"schema":{"type":"object","properties":{"b":{"type":"boolean"},"a":{"enum":["x","y"]}},"required":["a"]})";
  expectLine(Subprocess::run(sidecar(), {}, request("\"p\"", schema)),
             "{\"status\":\"ok\",\"text\":\"{\\\"a\\\":\\\"x\\\",\\\"b\\\":false}\"}\n", 0);
  // The same seed gives the same bytes on every run.
  const std::string seeded = request("\"p\"", R"(,"options":{"sampling":{"mode":"random","seed":7}})" + schema);
  const auto first = Subprocess::run(sidecar(), {}, seeded);
  EXPECT_EQ(first.exitStatus, 0);
  EXPECT_EQ(Subprocess::run(sidecar(), {}, seeded).out, first.out);
}

TEST(EntryRequest, OddOptionValuesNeverCrash) {
  const std::string failure =
      "{\"status\":\"error\",\"kind\":\"DecodingFailureError\",\"message\":\"the model's response could not be decoded into the requested schema\"}\n";
  expectLine(Subprocess::run(sidecar(), {}, request("\"p\"", R"(,"options":{"maximum_response_tokens":0},"schema":{"type":"string"})")),
             failure, 0);
  expectLine(Subprocess::run(sidecar(), {}, request("\"p\"", R"(,"options":{"maximum_response_tokens":-5,"temperature":-3,"sampling":{"mode":"random","top":-4}},"schema":{"type":"boolean"})")),
             failure, 0);
  const auto odd = Subprocess::run(sidecar(), {}, request("\"p\"", R"(,"options":{"temperature":-1e308,"sampling":{"mode":"random","probability_threshold":7,"seed":0}},"schema":{"type":"integer","minimum":-3,"maximum":3})"));
  EXPECT_EQ(odd.err, "");
  EXPECT_EQ(odd.exitStatus, 0);
  EXPECT_EQ(odd.out.rfind("{\"status\":\"ok\",\"text\":\"", 0), 0u) << odd.out;
}

}  // namespace
