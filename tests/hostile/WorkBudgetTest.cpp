// Inputs whose work once grew exponentially or quadratically with their size, through the
// executables: each must end with its exact line. The runs' own 60 s deadline is the hang guard;
// their speed is measured by bench/complexity.py, not here.
#include <gtest/gtest.h>

#include <string>

#include "Hostile.hpp"

namespace {

using namespace Hostile;

std::string repeated(const std::string& piece, std::size_t times) {
  std::string text;
  for (std::size_t i = 0; i < times; ++i) text += piece;
  return text;
}

// An object schema with one required string property "s" of the given keywords.
std::string oneString(const std::string& keywords) {
  return R"({"type":"object","properties":{"s":{"type":"string",)" + keywords + R"(}},"required":["s"]})";
}
std::string pattern(const std::string& text) { return oneString(R"("pattern":")" + text + "\""); }

std::string answer(const std::string& value) { return "{\"status\":\"ok\",\"text\":\"{\\\"s\\\":\\\"" + value + "\\\"}\"}\n"; }

const std::string decodingFailureLine =
    failureLine("DecodingFailureError", "the model's response could not be decoded into the requested schema");

const std::string randomSampling = R"(,"options":{"sampling":{"mode":"random","seed":5}})";

struct Case {
  const char* name;
  std::string request;
  std::string line;
};

TEST(HostileWorkBudget, EndsWithItsLine) {
  // Eight properties whose constant the pattern rejects, for ICU only after exponential
  // backtracking: decided at once for a plain pattern, left undecided past ICU's time limit for
  // one that is not plain (a count over 1000).
  const auto slowConstants = [](const std::string& pattern) {
    std::string schema = R"({"type":"object","properties":{)";
    for (int i = 0; i < 8; ++i) {
      schema += (i ? ",\"p" : "\"p") + std::to_string(i) + R"(":{"type":"string","const":"aaaaaaaaaaaaaaaaaaaaaaaaa!","pattern":")" +
                pattern + "\"}";
    }
    return schema + R"(},"required":["p0","p1","p2","p3","p4","p5","p6","p7"]})";
  };
  const Case cases[] = {
      // Nested repetitions of an empty body: the empty string, at once, greedy or random.
      {"empty loops, greedy", withSchema(pattern(nested(20, "(", "a{0}", "){3}"))), answer("")},
      {"empty loops, random", request("\"p\"", ",\"schema\":" + pattern(nested(20, "(", "a{0}", "){3}")) + randomSampling), answer("")},
      // Its own shortest string makes ICU run out of time: the string is still the answer.
      {"slow shortest string", withSchema(pattern(repeated("(a+)+", 200))), answer(std::string(200, 'a'))},
      // A constant the pattern certainly rejects: refused before generation.
      {"unmatchable constant", withSchema(oneString(R"("const":"abc","pattern":"^[0-9]+$")")), unsupportedConstructLine},
      {"unmatchable constants, plain", withSchema(slowConstants("(a+)+b")), unsupportedConstructLine},
      // A constant ICU cannot decide in time: no proof, no refusal; generation then fails.
      {"undecidable constants", withSchema(slowConstants("(a+)+b{1001}")), decodingFailureLine},
      // A pattern over the compile limit is dropped: "s" is then any string.
      {"1 MB pattern", withSchema(pattern(repeated("(a+)+", 200000))), answer("")},
      // A long run of white space costs tokens in proportion: it cannot fit the window.
      {"16 MB of spaces", withSchema(pattern(" {16000000}")), contextWindowLine},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto result = Subprocess::run(sidecar(), {}, c.request);
    EXPECT_EQ(result.out, c.line);
    expectCleanExit(result, 0);
  }
}

// The checker drops a pattern over the compile limit with its usual note, naming the limit.
TEST(HostileWorkBudget, CheckerDropsOverlongPattern) {
  const auto result = Subprocess::run(schemaChecker(), {"--explain"}, pattern(repeated("((a|b)*c)*", 100000)));
  EXPECT_NE(result.out.find(R"("effect":"pattern-dropped")"), std::string::npos);
  EXPECT_NE(result.out.find("is longer than 4096 bytes once rewritten"), std::string::npos) << result.out.substr(0, 300);
  expectCleanExit(result, 0);
}

}  // namespace

namespace {

// A match ICU cannot finish (here its backtracking stack runs out on a 1 MB constant) proves
// nothing: the constant is not refused.
TEST(HostileWorkBudget, CheckerKeepsAConstantItCannotDecide) {
  const std::string schema = R"({"type":"string","const":")" + std::string(1000000, 'a') + R"(","pattern":"[a-z]+"})";
  const auto result = Subprocess::run(Hostile::schemaChecker(), {}, schema);
  EXPECT_EQ(result.out.rfind(R"({"status":"ok",)", 0), 0u) << result.out.substr(0, 200);
  expectCleanExit(result, 0);
}

}  // namespace
