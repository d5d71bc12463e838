// Differential run: a few thousand generated requests (plain and structured, every option
// shape, schemas of every form) through the reference build and through the framework
// engine's build; the lines, stderr and exit statuses must be byte-identical. It is what proves
// that the boundary's request document carries everything the session passes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <random>
#include <string>

#include "TarnwickApple/JSON/JSONText.hpp"
#include "support/SchemaDocuments.hpp"
#include "support/Subprocess.hpp"

namespace {

constexpr int shards = 8;
constexpr int requestsPerShard = 250;

// The build compared with the reference build: a test sidecar variant, or a path to an
// executable (TARNWICK_DIFFERENTIAL_CANDIDATE), the framework engine over its double by default.
std::string candidate() {
  const char* given = std::getenv("TARNWICK_DIFFERENTIAL_CANDIDATE");
  const std::string name = given != nullptr && *given != '\0' ? given : "double";
  return name.find('/') != std::string::npos ? name : Subprocess::testSidecarPath(name);
}

class RequestMaker {
 public:
  explicit RequestMaker(std::uint64_t seed) : random_(seed) {}

  std::string make() {
    std::string out = "{\"prompt\":";
    TarnwickApple::JSONText::appendString(out, text());
    if (pick(3) == 0) {
      out += ",\"instructions\":";
      TarnwickApple::JSONText::appendString(out, text());
    }
    out += pick(2) ? R"(,"use_case":"general")" : R"(,"use_case":"content_tagging")";
    out += pick(2) ? R"(,"guardrails":"default")" : R"(,"guardrails":"permissive_content_transformations")";
    // Random sampling without a seed differs from run to run, so structured requests carry one.
    const bool structured = pick(2) == 0;
    if (pick(4) != 0) out += ",\"options\":" + options(structured);
    if (structured) out += ",\"schema\":" + schema();
    if (pick(40) == 0) out += R"(,"prompt":null)";  // now malformed: the same line from both
    return out + "}";
  }

 private:
  int pick(int n) { return static_cast<int>(random_() % static_cast<std::uint64_t>(n)); }

  std::string text() {
    const char* const pieces[] = {"Name three birds.", " ", "hello world", "é", "日本語", "😀", "\n", "\"", "\\",
                                  "\t tab", "a\u0000b", "\u2028", "x", "longer words than four letters", "42"};
    std::string out;
    const int count = pick(8) == 0 ? 900 : pick(12);  // sometimes past the context window
    for (int i = 0; i < count; ++i) out += pieces[pick(std::size(pieces))];
    return out;
  }

  std::string options(bool seeded) {
    const char* const temperatures[] = {"0", "0.7", "1", "-1", "2.5", "1e300", "5e-324", "-0.0", "0.1"};
    const char* const limits[] = {"0", "1", "2", "3", "7", "40", "4096", "-5", "9223372036854775807",
                                  "-9223372036854775808", "1e3", "2.0"};
    const char* const seeds[] = {"0", "1", "42", "18446744073709551615", "9223372036854775808", "3e0"};
    const char* const tops[] = {"1", "5", "40", "0", "-3", "9223372036854775807"};
    const char* const thresholds[] = {"0.5", "1", "0", "0.999", "-1", "7"};
    std::string out = "{";
    const auto member = [&](const std::string& text) {
      if (out.size() > 1) out += ',';
      out += text;
    };
    if (pick(2)) member(std::string("\"temperature\":") + temperatures[pick(std::size(temperatures))]);
    if (pick(2)) member(std::string("\"maximum_response_tokens\":") + limits[pick(std::size(limits))]);
    if (pick(3)) {
      std::string sampling = pick(3) == 0 ? R"({"mode":"greedy")" : R"({"mode":"random")";
      if (pick(2)) sampling += std::string(",\"top\":") + tops[pick(std::size(tops))];
      if (pick(2)) sampling += std::string(",\"probability_threshold\":") + thresholds[pick(std::size(thresholds))];
      if (seeded || pick(3)) sampling += std::string(",\"seed\":") + seeds[pick(std::size(seeds))];
      member("\"sampling\":" + sampling + "}");
    }
    return out + "}";
  }

  std::string schema() {
    const char* const fixed[] = {
        R"({"type":"string"})", R"({"type":"integer","minimum":-3,"maximum":3})", R"({"type":"number","exclusiveMinimum":0.5})",
        R"({"type":"boolean"})", R"({"enum":["red","green","blue"]})", R"({"const":"fixed"})",
        R"({"type":"array","items":{"type":"string","pattern":"^[A-Z]{2}\\d$"},"minItems":2,"maxItems":4})",
        R"({"type":"object","properties":{"b":{"type":"integer"},"a":{"type":"string"}},"required":["a"],"x-order":["b","a"]})",
        R"({"anyOf":[{"type":"string"},{"type":"integer"},{"type":"null"}]})",
        R"({"$defs":{"N":{"type":"object","properties":{"next":{"$ref":"#/$defs/N"}}}},"$ref":"#/$defs/N"})",
        R"({"$defs":{"L":{"type":"object","properties":{"k":{"$ref":"#/$defs/L"}},"required":["k"]}},"$ref":"#/$defs/L"})",
        R"("not an object")", R"({"type":"array"})", R"({"type":"integer","minimum":5,"maximum":1})",
        R"({"$ref":"#/$defs/Missing"})", R"j({"type":"string","pattern":"(?=x)"})j",
        R"({"type":"object","properties":{"name":{"type":"string","description":"who"},"n":{"type":"number","minimum":1e10}},"description":"root"})",
    };
    if (pick(2)) return fixed[pick(std::size(fixed))];
    return TestSchemas::DocumentMaker(random_()).make();
  }

  std::mt19937_64 random_;
};

class Differential : public testing::TestWithParam<int> {};

TEST_P(Differential, SameLinesAsTheReferenceBuild) {
  const std::string reference = Subprocess::testSidecarPath("reference");
  const std::string other = candidate();
  RequestMaker maker(static_cast<std::uint64_t>(GetParam()) * 7919 + 17);
  int structured = 0;
  for (int i = 0; i < requestsPerShard; ++i) {
    const std::string request = maker.make();
    const auto expected = Subprocess::run(reference, {}, request);
    const auto actual = Subprocess::run(other, {}, request);
    ASSERT_EQ(actual.out, expected.out) << request;
    ASSERT_EQ(actual.err, expected.err) << request;
    ASSERT_EQ(actual.exitStatus, expected.exitStatus) << request;
    ASSERT_EQ(actual.termSignal, 0) << request;
    if (expected.out.rfind("{\"status\":\"ok\",\"text\":\"{", 0) == 0) ++structured;
  }
  // The corpus must reach the structured path, or the comparison proves little about it.
  EXPECT_GT(structured, requestsPerShard / 16);
}

INSTANTIATE_TEST_SUITE_P(Shards, Differential, testing::Range(0, shards));

}  // namespace
