// Rewriting may widen a pattern, never narrow it: for random patterns built from the accepted
// constructs, every string ICU matches in full against the original also matches the rewritten
// pattern, and the rewritten pattern stays inside the dialect.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "TarnwickApple/Schema/RegexPattern.hpp"
#include "TarnwickApple/Text/Unicode.hpp"

namespace TarnwickApple::RegexPattern {
namespace {

struct Spelling {
  std::string pattern;               // as written in the pattern
  std::vector<std::string> matches;  // single strings the original admits for it
};

// Literals outside a class. "e" + U+0301 is one cluster of two scalars; U+212A is KELVIN SIGN.
const std::vector<Spelling> literals = {
    {"a", {"a"}}, {"Z", {"Z"}}, {"7", {"7"}}, {"_", {"_"}}, {" ", {" "}}, {"-", {"-"}}, {"é", {"é"}},
    {"e\u0301", {"e\u0301"}}, {"\u212A", {"\u212A"}}, {"中", {"中"}}, {R"(\.)", {"."}}, {R"(\-)", {"-"}},
    {R"(\/)", {"/"}}, {R"(\\)", {"\\"}}, {R"(\()", {"("}}, {R"(\])", {"]"}}, {R"(\{)", {"{"}},
    {R"(\$)", {"$"}}, {R"(\^)", {"^"}}, {R"(\|)", {"|"}}, {R"(\*)", {"*"}}, {"}", {"}"}},
    {R"(\d)", {"0", "9", "\u0663"}}, {R"(\w)", {"a", "_", "5", "é", "\u212A"}}, {".", {"x", " ", "é", "中"}},
};

// Members inside a class; a member of several scalars admits each scalar on its own.
const std::vector<Spelling> members = {
    {"a", {"a"}}, {"z", {"z"}}, {"0", {"0"}}, {"9", {"9"}}, {"_", {"_"}}, {" ", {" "}}, {"é", {"é"}},
    {"e\u0301", {"e", "\u0301", "e\u0301"}}, {"\u212A", {"\u212A"}}, {R"(\-)", {"-"}}, {R"(\])", {"]"}},
    {R"(\[)", {"["}}, {R"(\\)", {"\\"}}, {R"(\.)", {"."}}, {R"(\/)", {"/"}}, {"a-f", {"a", "c", "f"}},
    {"0-9", {"0", "5", "9"}}, {"A-Z", {"A", "Q"}}, {"!-/", {"!", "+", "/"}}, {R"(\d)", {"3", "\u0663"}},
    {R"(\w)", {"k", "\u212A", "é"}}, {"\n", {"\n"}}, {"\r\n", {"\r", "\n", "\r\n"}}, {"\t", {"\t"}},
};

// Characters spliced into samples to probe the edges of the widened tokens.
const std::vector<std::string> probes = {"a", "0", "_", " ", "-", "é", "\u212A", "\n", "\r\n", "\u2028", "[", "x"};

class Generator {
 public:
  explicit Generator(unsigned seed) : random_(seed) {}

  // A pattern and strings that match its pieces, mostly in full.
  void pattern(std::string& text, std::vector<std::string>& samples) {
    samples.assign(8, "");
    if (chance(4)) text += '^';
    alternatives(text, samples, 0);
    if (chance(4)) text += '$';
    for (std::size_t k = 0; k < 4; ++k) samples.push_back(mutated(samples[k]));
  }

 private:
  void alternatives(std::string& text, std::vector<std::string>& samples, int depth) {
    const int count = 1 + (chance(4) ? 1 : 0) + (chance(8) ? 1 : 0);
    // Each sample follows one alternative, chosen per sample.
    std::vector<std::vector<std::string>> branches(count, std::vector<std::string>(samples.size()));
    for (int b = 0; b < count; ++b) {
      if (b > 0) text += '|';
      sequence(text, branches[b], depth);
    }
    for (std::size_t s = 0; s < samples.size(); ++s) samples[s] += branches[pick(count)][s];
  }

  void sequence(std::string& text, std::vector<std::string>& samples, int depth) {
    const int length = 1 + pick(4);
    for (int k = 0; k < length; ++k) {
      std::vector<std::string> atomSamples;
      const bool group = atom(text, atomSamples, samples.size(), depth);
      quantified(text, atomSamples, samples, group);
    }
  }

  // Writes one atom; true when it is a group.
  bool atom(std::string& text, std::vector<std::string>& out, std::size_t n, int depth) {
    const int which = pick(10);
    if (which < 2 && depth < 2) {
      text += chance(2) ? "(" : "(?:";
      out.assign(n, "");
      alternatives(text, out, depth + 1);
      text += ')';
      return true;
    }
    if (which < 5) {
      text += '[';
      std::vector<const Spelling*> chosen;
      for (int k = 1 + pick(4); k > 0; --k) chosen.push_back(&members[pick(static_cast<int>(members.size()))]);
      for (const Spelling* m : chosen) text += m->pattern;
      text += ']';
      for (std::size_t s = 0; s < n; ++s) out.push_back(any(chosen[pick(static_cast<int>(chosen.size()))]->matches));
    } else {
      const Spelling& l = literals[pick(static_cast<int>(literals.size()))];
      text += l.pattern;
      for (std::size_t s = 0; s < n; ++s) out.push_back(any(l.matches));
    }
    return false;
  }

  // An optional quantifier after the atom just written; each sample repeats its atom sample.
  // Groups get bounded quantifiers only, so that matching cannot backtrack exponentially.
  void quantified(std::string& text, const std::vector<std::string>& atomSamples,
                  std::vector<std::string>& samples, bool group) {
    int low = 1, high = 1;
    switch (group ? (chance(2) ? 7 : 2 + pick(3)) : pick(8)) {
      case 0: text += '*'; low = 0; high = 3; break;
      case 1: text += '+'; low = 1; high = 3; break;
      case 2: text += '?'; low = 0; high = 1; break;
      case 3: low = high = 1 + pick(3); text += braces(std::to_string(low)); break;
      case 4: low = pick(3); high = low + pick(3); text += braces(std::to_string(low) + ',' + std::to_string(high)); break;
      case 5: low = pick(3); high = low + 2; text += braces(std::to_string(low) + ','); break;
      default: break;
    }
    for (std::size_t s = 0; s < samples.size(); ++s) {
      const int times = low + pick(high - low + 1);
      for (int t = 0; t < times; ++t) samples[s] += atomSamples[s];
    }
  }

  static std::string braces(const std::string& body) {
    std::string out(1, '{');
    out += body;
    out += '}';
    return out;
  }

  std::string mutated(const std::string& sample) {
    const std::vector<std::string> chars = Unicode::graphemeClusters(sample);
    std::string out;
    const std::size_t at = chars.empty() ? 0 : static_cast<std::size_t>(pick(static_cast<int>(chars.size())));
    for (std::size_t k = 0; k < chars.size(); ++k) out += k == at ? any(probes) : chars[k];
    return out;
  }

  const std::string& any(const std::vector<std::string>& from) { return from[pick(static_cast<int>(from.size()))]; }
  int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random_); }
  bool chance(int oneIn) { return pick(oneIn) == 0; }

  std::mt19937 random_;
};

// The dialect, scalar by scalar as the regex engine reads it: escapes are \d, \w or a
// metacharacter, every group is "(?:", and no class bracket or anchor is left.
bool inDialect(const std::string& rewritten) {
  const std::string_view metacharacters = R"(\.*+?()[]{}|^$)";
  for (std::size_t i = 0; i < rewritten.size(); ++i) {
    const char c = rewritten[i];
    if (c == '\\') {
      if (++i == rewritten.size()) return false;
      const char next = rewritten[i];
      if (next != 'd' && next != 'w' && metacharacters.find(next) == std::string_view::npos) return false;
    } else if (c == '(') {
      if (rewritten.compare(i, 3, "(?:") != 0) return false;
      i += 2;
    } else if (c == '[' || c == ']' || c == '^' || c == '$') {
      return false;
    }
  }
  return true;
}

TEST(RewritingProperty, NeverNarrowsAndStaysInTheDialect) {
  constexpr int patterns = 4000;
  Generator generator(20240611);
  int rewrittenCount = 0;
  int checkedMatches = 0;
  for (int p = 0; p < patterns; ++p) {
    std::string pattern;
    std::vector<std::string> samples;
    generator.pattern(pattern, samples);
    const auto original = Unicode::Regex::compile(pattern);
    if (!original) continue;
    // No rewriting, or one ICU refuses, means no guide at all: the widest outcome.
    const auto rewritten = desugared(pattern);
    if (!rewritten) continue;
    const auto compiled = Unicode::Regex::compile(*rewritten);
    if (!compiled) continue;
    ++rewrittenCount;
    EXPECT_TRUE(inDialect(*rewritten)) << pattern << " -> " << *rewritten;
    for (const std::string& sample : samples) {
      if (!original->matchesWhole(sample)) continue;
      ++checkedMatches;
      EXPECT_TRUE(compiled->matchesWhole(sample))
          << "pattern: " << pattern << "\nrewritten: " << *rewritten << "\nsample: " << sample;
    }
  }
  // The generator must actually exercise the rewriting.
  EXPECT_GT(rewrittenCount, patterns / 4);
  EXPECT_GT(checkedMatches, patterns);
}

}  // namespace
}  // namespace TarnwickApple::RegexPattern
