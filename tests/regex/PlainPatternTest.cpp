// Plain patterns, which are matched without ICU's confirmation and compiled only on first use:
// which patterns are plain, that ICU accepts every one of them, and that the reference engine's
// strings drawn from one are ICU's matches.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "TarnwickApple/Engines/Reference/internal/PatternGenerator.hpp"
#include "TarnwickApple/Text/PlainPattern.hpp"
#include "TarnwickApple/Text/Unicode.hpp"
#include "TarnwickApple/Text/internal/PlainMatcher.hpp"

namespace TarnwickApple {
namespace {

TEST(PlainPattern, Table) {
  for (const char* plain : {"a", R"(\d{3}-\d{4})", "(?:ab|c)+x{3}", "a*?b+?c??", "(?:)|x", R"(\.\*\\\[)", "é+ü?",
                            "a{1000}", "a{0,}", ".{2,5}", "a||b", R"(\w\d.)"}) {
    EXPECT_TRUE(RegexPattern::isPlain(plain)) << plain;
  }
  // Possessive forms, stacked quantifiers, quantifiers with nothing before them, lone braces,
  // counts past 1000, inverted or non-ASCII counts, other escapes and groups, unbalanced groups.
  for (const char* other : {"", "a*+", "d{2}+", "a{2}{3}", "a**", "*a", "(?:*)", "a|+", "a}", "{", "a{1001}", "a{3,2}",
                            "a{,3}", "a{٣}", R"(\s)", R"(\b)", "(a)", "(?=a)", "(?:a", "a)", "[a]", "^a", "a$"}) {
    EXPECT_FALSE(RegexPattern::isPlain(other)) << other;
  }
}

// Random patterns over the dialect's pieces, the same ones for every run.
std::vector<std::string> randomPatterns(std::size_t count) {
  const std::vector<std::string> pieces = {"a", "b", "é", ".", R"(\d)", R"(\w)", R"(\.)", "(?:", "(?:", ")", ")",
                                           "|", "*", "+", "?", "{2}", "{1,3}", "{0,}", "{0}", "{1000}", "}", "??"};
  std::mt19937 random(19);
  std::vector<std::string> patterns;
  for (std::size_t i = 0; i < count; ++i) {
    std::string pattern;
    const std::size_t length = 1 + random() % 10;
    for (std::size_t k = 0; k < length; ++k) pattern += pieces[random() % pieces.size()];
    patterns.push_back(std::move(pattern));
  }
  return patterns;
}

TEST(PlainPattern, IcuCompilesEveryPlainPattern) {
  std::size_t plain = 0;
  for (const std::string& pattern : randomPatterns(20000)) {
    if (!RegexPattern::isPlain(pattern)) continue;
    ++plain;
    // Followed by an empty lookahead the pattern is no longer plain, so ICU compiles it at once.
    EXPECT_TRUE(Unicode::Regex::compile("(?:" + pattern + ")(?=)")) << pattern;
  }
  EXPECT_GT(plain, 2000u);  // the pieces make plain patterns common
}

TEST(PlainPattern, DrawnStringsAreIcuMatches) {
  using Engines::AnswerBuffer;
  for (const std::string& pattern : randomPatterns(4000)) {
    if (!RegexPattern::isPlain(pattern)) continue;
    const auto generator = Engines::PatternGenerator::parse(pattern);
    ASSERT_TRUE(generator) << pattern;
    // The same pattern made not plain: ICU compiles it now and decides each string.
    const auto icu = Unicode::Regex::compile("(?:" + pattern + ")(?=)");
    ASSERT_TRUE(icu) << pattern;
    AnswerBuffer guard({});
    std::string out;
    generator->appendShortest(out, guard);
    EXPECT_NE(icu->match(out), Unicode::Match::no) << pattern << " gave " << out;
    for (std::uint64_t seed = 1; seed <= 3; ++seed) {
      Engines::Sampler sampler = Engines::Sampler::seeded(seed);
      out.clear();
      generator->appendSampled(sampler, out, guard);
      EXPECT_NE(icu->match(out), Unicode::Match::no) << pattern << " gave " << out;
    }
  }
}

// The automaton decides as ICU does, on strings drawn from the pattern and on random ones whose
// characters sit on the edges of ICU's classes (digits of other scripts, marks, joiners,
// connector punctuation, line terminators, supplementary characters).
TEST(PlainPattern, AutomatonDecidesAsIcu) {
  const std::vector<std::string> characters = {"a", "b", "\xC3\xA9", "e\xCC\x81", "0", "\xD9\xA3", "_", "\xE2\x80\xBF",
                                               "\xE2\x80\x8D", " ", "\n", "\r", "\xE2\x80\xA8", ".", "!", "\xC2\x85",
                                               "\xF0\x9D\x9F\x98", "\xE4\xB8\xAD", "\xE2\x85\xAB", "\xC2\xB2", "\xC2\xAA", "\t"};
  std::mt19937 random(7);
  std::size_t compared = 0;
  for (const std::string& pattern : randomPatterns(3000)) {
    const auto automaton = RegexPattern::PlainMatcher::compile(pattern);
    if (!automaton) continue;
    const auto icu = Unicode::Regex::compile("(?:" + pattern + ")(?=)");
    ASSERT_TRUE(icu) << pattern;
    std::vector<std::string> texts;
    const auto generator = Engines::PatternGenerator::parse(pattern);
    ASSERT_TRUE(generator) << pattern;
    Engines::AnswerBuffer guard({});
    for (std::uint64_t seed = 1; seed <= 2; ++seed) {
      Engines::Sampler sampler = Engines::Sampler::seeded(seed);
      std::string drawn;
      generator->appendSampled(sampler, drawn, guard);
      texts.push_back(drawn);
      if (!drawn.empty()) texts.push_back(drawn.substr(0, drawn.size() - 1) + characters[random() % characters.size()]);
    }
    for (int k = 0; k < 4; ++k) {
      std::string text;
      for (std::size_t n = random() % 4; n > 0; --n) text += characters[random() % characters.size()];
      texts.push_back(text);
    }
    for (const std::string& text : texts) {
      if (!Unicode::isValidUTF8(text)) continue;
      const auto verdict = icu->match(text);
      if (verdict == Unicode::Match::undecided) continue;
      ++compared;
      EXPECT_EQ(automaton->matches(text), std::optional<bool>(verdict == Unicode::Match::yes))
          << pattern << " on " << text;
    }
  }
  EXPECT_GT(compared, 2000u);
}

}  // namespace
}  // namespace TarnwickApple
