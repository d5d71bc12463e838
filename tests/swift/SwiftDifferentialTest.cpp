// The reference build against the Swift path (C++ framework engine, C boundary, Swift shim,
// stand-in framework, reference engine): generated requests of every option shape, plain and
// structured, must give byte-identical lines, stderr and exit statuses.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <random>
#include <string>

#include "TarnwickApple/JSONText.hpp"
#include "support/SchemaDocuments.hpp"
#include "support/Subprocess.hpp"

namespace {

// Requests per test: enough for every option shape to meet every kind of schema several times.
constexpr int requestCount = 1500;

class RequestMaker {
 public:
  explicit RequestMaker(std::uint64_t seed) : random_(seed), schemas_(seed) {}

  std::string make() {
    const char* const prompts[] = {"Name three birds.", "", "d\xC3\xA9j\xC3\xA0 vu \xF0\x9F\x90\xA6", "line\nbreak \"quoted\"",
                                   "one two three four five six seven eight nine ten"};
    std::string out = "{\"prompt\":";
    TarnwickApple::JSONText::appendString(out, prompts[pick(std::size(prompts))]);
    out += pick(4) ? R"(,"use_case":"general")" : R"(,"use_case":"content_tagging")";
    out += pick(4) ? R"(,"guardrails":"default")" : R"(,"guardrails":"permissive_content_transformations")";
    if (pick(3) == 0) out += R"(,"instructions":"Answer briefly.")";
    const bool structured = pick(2);
    out += options(structured);
    if (structured) out += ",\"schema\":" + schemas_.make();
    return out + "}";
  }

 private:
  int pick(std::size_t n) { return static_cast<int>(random_() % n); }

  // Structured answers under random sampling without a seed differ from run to run, so those
  // requests get only the deterministic shapes (all but the last three).
  std::string options(bool structured) {
    const char* const samplings[] = {
        "", R"("sampling":{"mode":"greedy"})", R"("sampling":{"mode":"random","top":1,"seed":0})",
        R"("sampling":{"mode":"random","top":40,"seed":18446744073709551615})",
        R"("sampling":{"mode":"random","top":-3,"seed":9007199254740993})",
        R"("sampling":{"mode":"random","probability_threshold":0.5,"seed":18446744073709551614})",
        R"("sampling":{"mode":"random","probability_threshold":1e-300,"seed":12345678901234567890})",
        R"("sampling":{"mode":"random","top":2,"probability_threshold":0.5})",
        R"("sampling":{"mode":"random"})", R"("sampling":{"mode":"random","top":5})",
        R"("sampling":{"mode":"random","probability_threshold":0.9})"};
    const char* const temperatures[] = {"", R"("temperature":0.7)", R"("temperature":0)", R"("temperature":1.7976931348623157e308)",
                                        R"("temperature":-2.5)"};
    const char* const limits[] = {"", R"("maximum_response_tokens":3)", R"("maximum_response_tokens":0)",
                                  R"("maximum_response_tokens":-1)", R"("maximum_response_tokens":9223372036854775807)"};
    if (pick(6) == 0) return "";
    std::string members;
    const std::size_t samplingShapes = structured ? std::size(samplings) - 3 : std::size(samplings);
    for (const char* member : {samplings[pick(samplingShapes)], temperatures[pick(std::size(temperatures))],
                               limits[pick(std::size(limits))]}) {
      if (*member == '\0') continue;
      if (!members.empty()) members += ',';
      members += member;
    }
    return ",\"options\":{" + members + "}";
  }

  std::mt19937_64 random_;
  TestSchemas::DocumentMaker schemas_;
};

void expectSameRuns(const std::string& input, const std::vector<std::string>& args = {}) {
  const auto reference = Subprocess::run(Subprocess::testSidecarPath("reference"), args, input);
  const auto swift = Subprocess::run(Subprocess::testSidecarPath("swift"), args, input);
  EXPECT_EQ(swift.out, reference.out) << input;
  EXPECT_EQ(swift.err, reference.err) << input;
  EXPECT_EQ(swift.exitStatus, reference.exitStatus) << input;
}

TEST(SwiftDifferential, ProbeAndFixedRequests) {
  expectSameRuns("", {"--probe"});
  for (const std::string& input : {
           std::string(""), std::string("{}"), std::string(R"({"prompt":"p","use_case":"general","guardrails":"default"})"),
           std::string(R"({"prompt":"p","use_case":"general","guardrails":"default","schema":{"type":"object","properties":{"a":{"$ref":"#/$defs/none"}}}})"),
           std::string(R"({"prompt":"p","use_case":"general","guardrails":"default","schema":{"type":"integer","minimum":1.5,"maximum":3.5}})"),
           std::string(R"({"prompt":"p","use_case":"general","guardrails":"default","schema":{"type":"integer","minimum":1e300}})"),
           std::string(R"({"prompt":"p","use_case":"general","guardrails":"default","schema":{"type":"string","pattern":"^\\d{3}-[a-z]{2}/x$"}})"),
           std::string(R"({"prompt":")" + std::string(20000, 'w') + R"(","use_case":"general","guardrails":"default"})"),
       }) {
    expectSameRuns(input);
  }
}

TEST(SwiftDifferential, GeneratedRequests) {
  RequestMaker maker(20261209);
  for (int i = 0; i < requestCount; ++i) {
    expectSameRuns(maker.make());
    if (HasFailure()) break;  // one request is enough to read; the rest would repeat it
  }
}

}  // namespace
