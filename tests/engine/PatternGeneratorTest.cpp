// Strings from a pattern's structure: the shortest string of each construct, what the reader
// refuses, sampled strings that the compiled pattern accepts, and runaway lengths.
#include "TarnwickApple/Engines/Reference/internal/PatternGenerator.hpp"

#include <gtest/gtest.h>

#include <set>

#include "TarnwickApple/FoundationModels/LanguageModelSession.hpp"
#include "TarnwickApple/Text/Unicode.hpp"

namespace TarnwickApple::Engines {
namespace {

using namespace FoundationModels;

std::string shortest(const char* pattern, AnswerLimits limits = {}) {
  const auto generator = PatternGenerator::parse(pattern);
  if (!generator) return "<refused>";
  AnswerBuffer guard(limits);
  std::string out;
  generator->appendShortest(out, guard);
  EXPECT_EQ(generator->shortestLength(), out.size()) << pattern;
  return out;
}

TEST(PatternGenerator, ShortestStringOfEachConstruct) {
  const std::pair<const char*, const char*> table[] = {
      {R"(\d{3}-\d{4})", "000-0000"},   {"(?:ab|c)+x{3}", "cxxx"},  {"abc|d", "d"},
      {"x*y?z{2,}", "zz"},              {R"(\w+@\w+\.com)", "a@a.com"}, {"a{2,4}b{0,}", "aa"},
      {"é+ü?", "é"},                    {R"(\(\d\))", "(0)"},       {"a*?b+?c??d{2}+", "bdd"},
      {"(?:a{2}){3}", "aaaaaa"},        {"a{2}{3}", "aaaaaa"},      {".{2}", "aa"},
      {"(?:)|x", ""},                   {"a}", "a}"},               {R"(\.\*\\\[)", R"(.*\[)"},
  };
  for (const auto& [pattern, expected] : table) EXPECT_EQ(shortest(pattern), expected) << pattern;
}

TEST(PatternGenerator, RefusesWhatIsOutsideTheDialect) {
  for (const char* pattern : {"[a-z]", R"(\s)", "^a", "a$", "(?=a)", "(?i)a", "a{", "a{2,1}", "a{,3}", "*a", "(a", "a)",
                              "a|*", R"(a\)", R"(\n)"}) {
    EXPECT_FALSE(PatternGenerator::parse(pattern)) << pattern;
  }
  std::string deep(PatternGenerator::maximumNesting + 1, '(');
  deep += "a" + std::string(PatternGenerator::maximumNesting + 1, ')');
  EXPECT_FALSE(PatternGenerator::parse(deep)) << "nesting past the limit";
  std::string deepEnough(PatternGenerator::maximumNesting - 1, '(');
  deepEnough += "a" + std::string(PatternGenerator::maximumNesting - 1, ')');
  EXPECT_TRUE(PatternGenerator::parse(deepEnough));
}

TEST(PatternGenerator, SampledStringsMatchTheCompiledPattern) {
  for (const char* pattern : {R"(\d{3}-\d{4})", "(?:ab|c)+x{3}", R"((?:\w|\.){2,6}@\w+)", ".*q", "(?:a|b(?:c|d)*)+e?",
                              "x{0,2}y{3,}z*"}) {
    const auto compiled = Unicode::Regex::compile(pattern);
    ASSERT_TRUE(compiled) << pattern;
    const auto generator = PatternGenerator::parse(pattern);
    ASSERT_TRUE(generator) << pattern;
    std::set<std::string> seen;
    AnswerBuffer guard({});
    for (std::uint64_t seed = 1; seed <= 30; ++seed) {
      Sampler sampler = Sampler::seeded(seed);
      std::string out;
      generator->appendSampled(sampler, out, guard);
      EXPECT_TRUE(compiled->matchesWhole(out)) << pattern << " gave " << out;
      seen.insert(out);
    }
    EXPECT_GT(seen.size(), 3u) << pattern;
  }
}

TEST(PatternGenerator, RunawayLengthsStopAtTheLimit) {
  using GE = LanguageModelSession::GenerationError;
  EXPECT_THROW(shortest("(?:abcd){4000000000}", {100, std::nullopt}), GE);
  EXPECT_THROW(shortest("(?:abcd){4000000000}"), GE) << "no window: the answer's byte limit";
  // Repetitions that may be empty are not written out one by one.
  EXPECT_EQ(shortest("(?:a?){4000000000}"), "");
}

}  // namespace
}  // namespace TarnwickApple::Engines
