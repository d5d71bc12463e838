// Every piece of ICU data the code and a user's pattern can reach, reached through the code: in
// the static build ICU's data holds only the items in cmake/icu-data-items.txt, and a missing
// item shows here as a refused pattern, a failed match or characters split one scalar each.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "TarnwickApple/Text/Unicode.hpp"

namespace TarnwickApple::Unicode {
namespace {

TEST(ICUData, CharacterBreakRules) {
  // e + combining acute, a thumbs-up with a skin tone, a flag, a Hangul syllable in jamo.
  const std::vector<std::string> expected = {"e\xCC\x81", "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD",
                                             "\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7", "\xE1\x84\x80\xE1\x85\xA1", "x"};
  std::string text;
  for (const std::string& cluster : expected) text += cluster;
  EXPECT_EQ(graphemeClusters(text), expected);
}

struct PatternCase {
  const char* name;
  const char* pattern;
  const char* text;  // matches the whole pattern when the data is there
};

void PrintTo(const PatternCase& c, std::ostream* os) { *os << c.name; }

const PatternCase patternCases[] = {
    {"GraphemeClusterEscape", "\\X\\X", "e\xCC\x81\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7"},
    {"WordBoundaryRules", "(?w)ab\\b cd", "ab cd"},
    {"ThaiDictionary", "(?w)\xE0\xB8\x81\xE0\xB8\xB4\xE0\xB8\x99\\b\xE0\xB8\x82\xE0\xB9\x89\xE0\xB8\xB2\xE0\xB8\xA7",
     "\xE0\xB8\x81\xE0\xB8\xB4\xE0\xB8\x99\xE0\xB8\x82\xE0\xB9\x89\xE0\xB8\xB2\xE0\xB8\xA7"},
    {"Emoji", "\\p{Emoji}\\p{Extended_Pictographic}", "\xF0\x9F\x98\x80\xE2\x9C\x82"},
    {"IndicSyllabicCategory", "\\p{InSC=Vowel_Dependent}", "\xE0\xA4\xBF"},
    {"IndicPositionalCategory", "\\p{InPC=Left}", "\xE0\xA4\xBF"},
    {"VerticalOrientation", "\\p{vo=U}", "\xE4\xB8\xAD"},
    {"CharacterName", "\\N{LATIN SMALL LETTER A}\\p{Name=DIGIT ONE}", "a1"},
    {"NFKCQuickCheck", "\\p{NFKC_QC=N}", "\xEF\xAC\x81"},
    {"NFKCCasefold", "\\p{Changes_When_NFKC_Casefolded}", "A"},
    {"BuiltInProperties", "\\p{Alphabetic}\\p{Nd}\\p{Script=Greek}(?i)\xC3\x9F", "x7\xCE\xB1\xE1\xBA\x9E"},
};

class ICUDataPattern : public testing::TestWithParam<PatternCase> {};

TEST_P(ICUDataPattern, CompilesAndMatches) {
  const PatternCase& c = GetParam();
  const auto regex = Regex::compile(c.pattern);
  ASSERT_TRUE(regex.has_value());
  EXPECT_TRUE(regex->matchesWhole(c.text));
}

INSTANTIATE_TEST_SUITE_P(Patterns, ICUDataPattern, testing::ValuesIn(patternCases),
                         [](const testing::TestParamInfo<PatternCase>& info) { return std::string(info.param.name); });

TEST(ICUData, BuiltInNormalisationAndCase) {
  EXPECT_EQ(nfc("e\xCC\x81"), "\xC3\xA9");
  EXPECT_EQ(upperCased("stra\xC3\x9F" "e"), "STRASSE");
  EXPECT_TRUE(isAlphabetic(U'\u00E9'));
  EXPECT_TRUE(hasNumericType(U'\u0663'));
}

}  // namespace
}  // namespace TarnwickApple::Unicode
