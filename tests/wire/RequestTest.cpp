// Reading the request document: presence, types, sampling, and the single malformed error.
#include "TarnwickApple/Protocol/Wire.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>
#include <utility>

namespace TarnwickApple {
namespace {

const std::string minimal = R"("prompt":"hi","use_case":"general","guardrails":"default")";

Request decode(const std::string& members) { return Request::decode("{" + members + "}"); }

void expectMalformed(const std::string& text) {
  SCOPED_TRACE(text);
  try {
    Request::decode(text);
    ADD_FAILURE() << "decoded";
  } catch (const SidecarError& error) {
    EXPECT_EQ(error, SidecarError::malformedRequest);
  } catch (...) {
    ADD_FAILURE() << "threw something other than SidecarError";
  }
}

TEST(RequestDecode, MinimalRequest) {
  const Request r = decode(minimal);
  EXPECT_EQ(r.prompt, "hi");
  EXPECT_EQ(r.useCase, UseCase::general);
  EXPECT_EQ(r.guardrails, Guardrails::defaultGuardrails);
  EXPECT_FALSE(r.instructions);
  EXPECT_FALSE(r.options);
  EXPECT_FALSE(r.schema);
}

TEST(RequestDecode, EveryMember) {
  const Request r = decode(R"("prompt":"p","instructions":"i","use_case":"content_tagging",
      "guardrails":"permissive_content_transformations","extra":[1,{}],
      "options":{"temperature":1,"maximum_response_tokens":2.0,"x":0,
                 "sampling":{"mode":"random","top":3,"seed":18446744073709551615,"y":null}},
      "schema":{"type":"string"})");
  EXPECT_EQ(r.instructions, "i");
  EXPECT_EQ(r.useCase, UseCase::contentTagging);
  EXPECT_EQ(r.guardrails, Guardrails::permissiveContentTransformations);
  ASSERT_TRUE(r.options);
  EXPECT_EQ(r.options->temperature, 1.0);
  EXPECT_EQ(r.options->maximumResponseTokens, 2);
  EXPECT_EQ(r.options->sampling,
            Sampling::random(3, std::nullopt, std::numeric_limits<std::uint64_t>::max()));
  ASSERT_TRUE(r.schema);
  EXPECT_EQ(*r.schema, JSONValue::decode(R"({"type":"string"})"));
}

TEST(RequestDecode, NullMeansAbsent) {
  const Request r = decode(minimal + R"(,"instructions":null,"schema":null,"options":null)");
  EXPECT_FALSE(r.instructions);
  EXPECT_FALSE(r.schema);
  EXPECT_FALSE(r.options);
  const Request o = decode(minimal + R"(,"options":{"temperature":null,"sampling":null})");
  ASSERT_TRUE(o.options);
  EXPECT_EQ(*o.options, Options{});
}

TEST(RequestDecode, SchemaOfAnyKindIsKept) {
  EXPECT_EQ(*decode(minimal + R"(,"schema":{})").schema, JSONValue::decode("{}"));
  EXPECT_EQ(*decode(minimal + R"(,"schema":"s")").schema, JSONValue::string("s"));
  EXPECT_EQ(*decode(minimal + R"(,"schema":[1])").schema, JSONValue::decode("[1]"));
}

TEST(RequestDecode, Sampling) {
  const auto sampling = [](const std::string& object) {
    return decode(minimal + R"(,"options":{"sampling":)" + object + "}").options->sampling;
  };
  EXPECT_EQ(sampling(R"({"mode":"greedy","top":"x","seed":-5,"probability_threshold":{}})"), Sampling::greedy());
  EXPECT_EQ(sampling(R"({"mode":"random"})"), Sampling::random(std::nullopt, std::nullopt, std::nullopt));
  EXPECT_EQ(sampling(R"({"mode":"random","top":5,"probability_threshold":0.5})"),
            Sampling::random(5, 0.5, std::nullopt));
  EXPECT_EQ(sampling(R"({"mode":"random","seed":5.0})"), Sampling::random(std::nullopt, std::nullopt, 5));
  EXPECT_EQ(sampling(R"({"mode":"random","top":-3,"probability_threshold":7})"), Sampling::random(-3, 7.0, std::nullopt));
}

TEST(RequestDecode, ValuesAreNotRangeChecked) {
  const Request r = decode(minimal + R"(,"options":{"temperature":-2.5,"maximum_response_tokens":0})");
  EXPECT_EQ(r.options->temperature, -2.5);
  EXPECT_EQ(r.options->maximumResponseTokens, 0);
}

TEST(RequestDecode, Malformed) {
  const std::string cases[] = {
      "", "   ", "null", "[]", "\"prompt\"", "{", "not json",
      "{}",
      R"({"use_case":"general","guardrails":"default"})",
      R"({"prompt":"p","guardrails":"default"})",
      R"({"prompt":"p","use_case":"general"})",
      R"({"prompt":null,"use_case":"general","guardrails":"default"})",
      R"({"prompt":5,"use_case":"general","guardrails":"default"})",
      R"({"prompt":"p","use_case":"contentTagging","guardrails":"default"})",
      R"({"prompt":"p","use_case":"General","guardrails":"default"})",
      R"({"prompt":"p","use_case":"general","guardrails":"permissive"})",
      "{" + minimal + R"(,"instructions":1})",
      "{" + minimal + R"(,"options":[]})",
      "{" + minimal + R"(,"options":{"temperature":"1"}})",
      "{" + minimal + R"(,"options":{"maximum_response_tokens":1.5}})",
      "{" + minimal + R"(,"options":{"maximum_response_tokens":9223372036854775808}})",
      "{" + minimal + R"(,"options":{"sampling":"greedy"}})",
      "{" + minimal + R"(,"options":{"sampling":{}}})",
      "{" + minimal + R"(,"options":{"sampling":{"mode":"Greedy"}}})",
      "{" + minimal + R"(,"options":{"sampling":{"mode":"random","top":"x"}}})",
      "{" + minimal + R"(,"options":{"sampling":{"mode":"random","top":1.5}}})",
      "{" + minimal + R"(,"options":{"sampling":{"mode":"random","seed":-1}}})",
      "{" + minimal + R"(,"options":{"sampling":{"mode":"random","seed":18446744073709551616}}})",
      "{" + minimal + R"(,"options":{"sampling":{"mode":"random","seed":0.5}}})",
      "{" + minimal + R"(,"options":{"sampling":{"mode":"random","probability_threshold":true}}})",
      "{" + minimal + "} {}",
  };
  for (const std::string& text : cases) expectMalformed(text);
}

// The explaining reading names the member and the reason; the plain one still says only
// "malformed" for the same documents.
TEST(RequestDecodeExplaining, NamesTheMember) {
  const std::pair<std::string, std::pair<std::optional<std::string>, std::string>> table[] = {
      {"{" + minimal + R"(,"use_case":"chat"})", {"/use_case", R"("chat" is not one of "general", "content_tagging")"}},
      {R"({"use_case":"general","guardrails":"default"})", {"/prompt", "missing"}},
      {"{" + minimal + R"(,"options":{"sampling":{"mode":"random","probability_threshold":"x"}}})",
       {"/options/sampling/probability_threshold", R"("x" is not a number)"}},
      {"{" + minimal + R"(,"options":{"sampling":{"mode":"random","top":2.5}}})", {"/options/sampling/top", "2.5 is not a whole number"}},
      {"{" + minimal + R"(,"options":{"sampling":{"mode":"random","seed":18446744073709551616}}})",
       {"/options/sampling/seed", "18446744073709551616 is out of range (from 0 to 2^64-1)"}},
      // A whole number past 64 bits is quoted in its shortest form, never with a fraction.
      {"{" + minimal + R"(,"options":{"sampling":{"mode":"random","top":-1e19}}})",
       {"/options/sampling/top", "-1e+19 is out of range (from -2^63 to 2^63-1)"}},
      {"{" + minimal + R"(,"options":{"sampling":{"mode":"random","seed":1.5e300}}})",
       {"/options/sampling/seed", "1.5e+300 is out of range (from 0 to 2^64-1)"}},
      {"{" + minimal + R"(,"options":{"sampling":[]}})", {"/options/sampling", "an array is not an object"}},
      {R"("text")", {"", "the request is a string, not an object"}},
      {"{" + minimal + "} 1", {std::nullopt, "not JSON at byte " + std::to_string(minimal.size() + 3) + ": two JSON values"}},
      // A number no double holds is a bad value where it stands, even where nothing reads it.
      {"{" + minimal + R"(,"options":{"temperature":-1e400}})",
       {"/options/temperature", "-1e400 is out of range (beyond the largest 64-bit floating-point number)"}},
      {"{" + minimal + R"(,"schema":{"enum":[1,2e308]}})",
       {"/schema/enum/1", "2e308 is out of range (beyond the largest 64-bit floating-point number)"}},
      {"{" + minimal + R"(,"x":1e400} 1)",
       {std::nullopt, "not JSON at byte " + std::to_string(minimal.size() + 13) + ": two JSON values"}},
  };
  for (const auto& [text, expected] : table) {
    SCOPED_TRACE(text);
    try {
      Request::decodeExplaining(text);
      ADD_FAILURE() << "decoded";
    } catch (const Request::Problem& problem) {
      EXPECT_EQ(problem.pointer(), expected.first);
      EXPECT_EQ(problem.reason(), expected.second);
    }
    expectMalformed(text);
  }
  EXPECT_EQ(Request::decodeExplaining("{" + minimal + "}"), decode(minimal));
}

}  // namespace
}  // namespace TarnwickApple
