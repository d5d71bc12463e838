// Pattern rewriting, construct by construct: escapes, groups, anchors, quantifiers, classes,
// ranges, widening, and how grapheme clusters are read.
#include "TarnwickApple/Schema/internal/RegexRewriting.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace TarnwickApple::RegexPattern {
namespace {

// A class's members and the index after it, read as the rewriting reads them.
std::optional<std::pair<std::vector<ClassMember>, std::size_t>> characterClass(const std::vector<Character>& pattern,
                                                                               std::size_t from) {
  std::vector<ClassMember> members;
  const auto end = RegexPattern::characterClass(pattern, from, members);
  if (!end) return std::nullopt;
  return std::pair{std::move(members), *end};
}

struct Rewrite {
  std::string pattern;
  std::optional<std::string> expected;  // nothing: unsupported
};

void expectRewrites(const std::vector<Rewrite>& cases) {
  for (const Rewrite& c : cases) {
    EXPECT_EQ(desugared(c.pattern), c.expected) << "pattern: " << c.pattern;
  }
}

const std::nullopt_t refused = std::nullopt;

TEST(Desugared, EscapesKeepOrDropTheirBackslash) {
  expectRewrites({{R"(a\.b)", R"(a\.b)"}, {R"(a\/b)", "a/b"}, {R"(a\-b)", "a-b"}, {R"(\d\w)", R"(\d\w)"},
                  {R"(\\\(\)\[\]\{\}\|\^\$\*\+\?)", R"(\\\(\)\[\]\{\}\|\^\$\*\+\?)"},
                  {R"(\s+)", refused}, {R"(\D)", refused}, {R"(\bword)", refused}, {R"(\n)", refused},
                  {R"(\u0041)", refused}, {R"((a)\1)", refused}, {R"(ab\)", refused}});
}

TEST(Desugared, GroupsBecomeNonCapturing) {
  expectRewrites({{"(ab)|c", "(?:ab)|c"}, {"(?:ab)", "(?:ab)"}, {"((a)b)", "(?:(?:a)b)"},
                  {"(?=a)", refused}, {"(?!a)", refused}, {"(?<n>a)", refused}, {"(?i)a", refused},
                  {"a(?", refused}, {"(", "(?:"}});
}

TEST(Desugared, AnchorsOnlyAtTheEnds) {
  expectRewrites({{"^[a-z]+$", R"(\w+)"}, {R"(^\d{3}-\d{4}$)", R"(\d{3}-\d{4})"}, {"^a|b$", "a|b"},
                  {"a^b", refused}, {"a$b", refused}, {"^^a", refused}, {"a$$", refused},
                  {"", refused}, {"^", refused}, {"$", refused}, {"^$", refused}});
}

TEST(Desugared, StrayClosersAndPlainCharacters) {
  expectRewrites({{"a]", refused}, {"a}", "a}"}, {"a.*+?|)", "a.*+?|)"}, {"déjà vu", "déjà vu"}});
}

TEST(Desugared, QuantifierBodies) {
  expectRewrites({{"x{2,4}", "x{2,4}"}, {"x{2,}", "x{2,}"}, {"x{3}", "x{3}"}, {"x{5,3}", "x{5,3}"},
                  {"x{}", refused}, {"x{,4}", refused}, {"x{1,2,3}", refused}, {"x{a}", refused},
                  {"x{2", refused}, {"x{2 }", refused},
                  // counts the model's Regex parses: ASCII digits up to 65535, leading zeros allowed
                  {"x{65535}", "x{65535}"}, {"x{0065535,}", "x{0065535,}"}, {"x{1,65536}", refused},
                  {"x{16000000}", refused},
                  // other digits it refuses: ARABIC-INDIC DIGIT THREE, ROMAN NUMERAL TWO
                  {"x{\u0663}", refused}, {"x{\u2161,}", refused}});
}

TEST(CharacterClass, Members) {
  using M = ClassMember;
  const struct {
    std::string pattern;
    std::vector<ClassMember> members;
  } cases[] = {
      {"[a-]", {M::literal("a"), M::literal("-")}},
      {R"([\d-z])", {M::escape("d"), M::literal("-"), M::literal("z")}},
      {"[a^]", {M::literal("a"), M::literal("^")}},
      {"[-a]", {M::literal("-"), M::literal("a")}},
      {R"([\]])", {M::literal("]")}},
      {R"([\-])", {M::literal("-")}},
      {R"([\/])", {M::literal("/")}},
      {"[a-cx]", {M::literal("a"), M::literal("b"), M::literal("c"), M::literal("x")}},
      {"[5-5]", {M::literal("5")}},
  };
  for (const auto& c : cases) {
    const auto read = characterClass(characters(c.pattern), 0);
    ASSERT_TRUE(read) << c.pattern;
    EXPECT_EQ(read->first, c.members) << c.pattern;
    EXPECT_EQ(read->second, characters(c.pattern).size()) << c.pattern;
  }
}

TEST(CharacterClass, Refused) {
  for (const std::string pattern : {"[^a]", "[]", "[abc", "[a[b]", R"([a-\d])", "[z-a]", "[a-é]", R"([\s])",
                                    "[", R"([a\)", "[a-"}) {
    EXPECT_FALSE(characterClass(characters(pattern), 0)) << pattern;
    EXPECT_FALSE(desugared(pattern)) << pattern;
  }
}

TEST(CharacterClass, ReadingStopsAfterTheClosingBracket) {
  const auto read = characterClass(characters("x[ab]c"), 1);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->second, 5u);
}

TEST(Expand, AsciiEndpointsOnly) {
  EXPECT_EQ(expand("a", "e"), (std::vector<Character>{"a", "b", "c", "d", "e"}));
  EXPECT_EQ(expand("\r\n", "\r\n"), std::vector<Character>{"\n"});  // CR LF counts as line feed
  EXPECT_EQ(expand(std::string(1, '\0'), "\x7f")->size(), 128u);
  EXPECT_FALSE(expand("e", "a"));
  EXPECT_FALSE(expand("a", "é"));
  EXPECT_FALSE(expand("\u212A", "z"));  // KELVIN SIGN is not ASCII here
  EXPECT_FALSE(expand("a\u0301", "z"));
}

TEST(Widening, NarrowestTokenThatAdmitsEveryMember) {
  expectRewrites({{"[0-9]", R"(\d)"}, {"[13579]", R"(\d)"}, {"[0-9a-f]", R"(\w)"}, {"[A-Za-z]", R"(\w)"},
                  {"[a-zA-Z0-9_]", R"(\w)"}, {"[abc]", R"(\w)"}, {R"([\d])", R"(\d)"}, {R"([\w])", R"(\w)"},
                  {R"([\d\w])", R"(\w)"}, {R"([\d_])", R"(\w)"}, {"[a-z-]", "."}, {R"([\d-])", "."},
                  {"[ab ]", "."}, {"[éa]", "."}});
}

TEST(Widening, LoneLiteralIsKept) {
  expectRewrites({{"[é]", "é"}, {"[a]", "a"}, {"[.]", R"(\.)"}, {R"([\]])", R"(\])"}, {R"([\[])", R"(\[)"},
                  {"[-]", "-"}, {"[/]", "/"}, {R"([\\])", R"(\\)"}, {"[\n]", "\n"}, {"[ ]+", " +"}});
}

TEST(Widening, LineBreakBesideOtherMembersIsRefused) {
  for (const std::string pattern : {"[\na]", "[a\r]", "[a\u2028]", "[\u0085 ]", "[\x0b\x0c]", "[\t-\r]"}) {
    EXPECT_FALSE(desugared(pattern)) << pattern;
  }
  EXPECT_FALSE(widening({}));
}

// Every ASCII character beside a digit and beside a letter: a line break refuses the class,
// digits keep \d, letters, digits and "_" make \w, anything else ".".
TEST(Widening, EachASCIICharacterBesideADigitAndALetter) {
  for (int code = 0; code < 128; ++code) {
    const std::string c(1, static_cast<char>(code));
    const bool lineBreak = code >= '\n' && code <= '\r';
    const bool digit = code >= '0' && code <= '9';
    const bool word = digit || (code >= 'a' && code <= 'z') || (code >= 'A' && code <= 'Z') || code == '_';
    const auto beside = [&](const char* other) {
      return widening({ClassMember::literal(c), ClassMember::literal(other)});
    };
    const std::optional<std::string> besideDigit =
        lineBreak ? std::nullopt : std::optional<std::string>(digit ? R"(\d)" : word ? R"(\w)" : ".");
    const std::optional<std::string> besideLetter =
        lineBreak ? std::nullopt : std::optional<std::string>(word ? R"(\w)" : ".");
    EXPECT_EQ(beside("7"), besideDigit) << code;
    EXPECT_EQ(beside("q"), besideLetter) << code;
  }
}

TEST(Clusters, CanonicallyEqualCharactersAreTheSame) {
  // KELVIN SIGN is canonically the letter K: a word character, not "any".
  expectRewrites({{"[\u212A0-9]", R"(\w)"}, {"[\u212A]", "\u212A"}});
}

TEST(Clusters, DisguisedSyntaxIsRefused) {
  // One character to the rewriting, but the regex engine reads its backslash, bracket, paren or
  // dash: "\" or "[" or "]" or "-" with a combining mark, "(" after a prepended mark (U+0600).
  expectRewrites({{"a\\\u0301b", refused}, {"[\\\u0301a]", refused}, {"(\u0301a)", refused},
                  {"a[\u0301", refused}, {"[a]\u0301b]", refused}, {"[a-\u0301z]", refused},
                  {"\u0600(a)", refused}, {"e\u0301+", "e\u0301+"}, {"a\r\nb", "a\r\nb"}});
}

TEST(Clusters, LoneClusterOfSeveralScalarsIsWidened) {
  // ICU reads [e + U+0301] as two one-scalar members, so the pair itself would be narrower.
  expectRewrites({{"[e\u0301]", "."}, {"[\r\n]", refused}});
  // A CR LF range endpoint is read as CR beside LF, so CR is a member as well.
  expectRewrites({{"[\n-\r\n]", refused}, {"[\r\n-\r\n]", refused}});
}

TEST(Clusters, InvalidUtf8IsRefused) { EXPECT_FALSE(desugared("a\xff")); }

}  // namespace
}  // namespace TarnwickApple::RegexPattern

namespace TarnwickApple::RegexPattern {
namespace {

// What the rewriting tells about a pattern: the construct that stopped it, or whether a class
// became a token that accepts more.
TEST(Rewrite, SaysWhyAndWhetherItWidened) {
  const std::pair<const char*, const char*> refusals[] = {
      {"a(?=b)", "a lookahead (?="}, {"(?!b)", "a lookahead (?!"}, {"(?<=a)b", "a lookbehind (?<="},
      {"(?<n>a)", "a named group"}, {"(?i)a", "an inline flag or other \"(?\" group"},
      {R"((a)\1)", R"(a back-reference \1)"}, {R"(\s)", R"(\s (white space))"}, {R"(\W)", R"(a negated class escape \W)"},
      {R"(\bx)", R"(a word boundary \b)"}, {R"(\p{L})", R"(a Unicode property class \p)"}, {R"(\n)", R"(a control escape \n)"},
      {R"(\u0041)", R"(a code escape \u)"}, {R"(\q)", R"(the escape \q)"}, {"a\\", "a trailing backslash"},
      {"[^a]", "a negated class [^...]"}, {"[]", "an empty class []"}, {"[a[b]]", "a class inside a class"},
      {R"([\s])", R"(\s (white space) in a class)"}, {"[z-a]", "a class with no closing \"]\" or a range it cannot spell out"},
      {"[a\nb]", "a line break in a class"}, {"a{,2}", "a \"{\" that opens no quantifier {m}, {m,} or {m,n}"},
      {"a{70000}", "a repetition count that is not ASCII digits up to 65535"},
      {"a]", "a \"]\" outside a class"}, {"a^", "\"^\" other than at the start"}, {"$a", "\"$\" other than at the end"},
      {"^$", "nothing once the anchors are dropped"}, {"\xff", "text that is not valid UTF-8"},
      {"\\\xCC\x81", "a syntax character joined by a mark"},
  };
  for (const auto& [pattern, construct] : refusals) {
    SCOPED_TRACE(pattern);
    const Rewriting result = rewrite(pattern);
    EXPECT_EQ(result.pattern, std::nullopt);
    EXPECT_EQ(result.refusal, construct);
    EXPECT_EQ(desugared(pattern), std::nullopt);
  }
  const std::pair<const char*, bool> rewritten[] = {
      {"^abc$", false}, {"[a]", false}, {"[.]x", false}, {R"([\d]+)", false}, {R"([\w\w])", false},
      {"[0-9]", true}, {"[a-z]", true}, {R"([\d_])", true}, {"[a!]", true}, {R"(x[\w-])", true},
  };
  for (const auto& [pattern, widened] : rewritten) {
    SCOPED_TRACE(pattern);
    const Rewriting result = rewrite(pattern);
    EXPECT_EQ(result.pattern, desugared(pattern));
    EXPECT_TRUE(result.pattern);
    EXPECT_EQ(result.widened, widened);
  }
}

}  // namespace
}  // namespace TarnwickApple::RegexPattern
