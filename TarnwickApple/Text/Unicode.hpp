// The few Unicode operations the whole system shares (NFC, grapheme clusters, character
// properties, case mapping, the platform regex). ICU stays behind this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace TarnwickApple::Unicode {

// True when `text` is well-formed UTF-8 (no overlongs, no surrogates, nothing above U+10FFFF).
bool isValidUTF8(std::string_view text);
// The length of the longest well-formed UTF-8 prefix of `text` (where the first ill-formed sequence starts).
std::size_t validUTF8Prefix(std::string_view text);

// `text` with every ill-formed UTF-8 sequence replaced by U+FFFD; well-formed text comes back unchanged.
std::string scrubbed(std::string_view text);

// True when every byte of `text` is ASCII (such text is its own NFC form). Eight bytes at a
// time and inline: lookups and name checks ask it of short keys on hot paths.
inline bool isASCII(std::string_view text) {
  std::uint64_t high = 0;
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    high |= word;
  }
  if (i < text.size() && text.size() >= 8) {
    // The last eight bytes, overlapping what was read: one more word, not a byte at a time.
    std::uint64_t word;
    std::memcpy(&word, text.data() + text.size() - 8, 8);
    return ((high | word) & 0x8080808080808080u) == 0;
  }
  for (; i < text.size(); ++i) high |= static_cast<unsigned char>(text[i]);
  return (high & 0x8080808080808080u) == 0;
}

// Canonical composition (NFC) of well-formed UTF-8. Pure ASCII is returned as is without ICU.
std::string nfc(std::string_view text);

// True when the NFC forms of two well-formed UTF-8 texts are equal (the platform's string equality).
bool canonicallyEqual(std::string_view a, std::string_view b);

// The platform's string order: scalar values after NFC (byte order of the NFC UTF-8 forms).
bool canonicallyLess(std::string_view a, std::string_view b);

// The user-perceived characters (extended grapheme clusters) of well-formed UTF-8, in order.
std::vector<std::string> graphemeClusters(std::string_view text);

// The length of the UTF-8 sequence that `lead` opens: 1 for ASCII and for a stray continuation
// byte (which stands alone), 2, 3 or 4 otherwise. The text after it is not looked at.
std::size_t scalarLength(unsigned char lead);

// Unicode scalars of well-formed UTF-8.
std::vector<char32_t> scalars(std::string_view text);
std::optional<char32_t> firstScalar(std::string_view text);
void appendUTF8(std::string& out, char32_t scalar);

// Character properties: Alphabetic, and any numeric type (decimal, digit or numeric).
bool isAlphabetic(char32_t scalar);
bool hasNumericType(char32_t scalar);

// Full Unicode upper-case mapping (may lengthen the text, as "ß" becomes "SS").
std::string upperCased(std::string_view text);

// How a whole-text match ended. Matching runs under time limits, so a match that takes too long
// ends undecided: neither a match nor a failure, and never tried again for the same text.
enum class Match { yes, no, undecided };

// A compiled regular expression: the platform's Regex (ICU, UTF-8 pattern, no flags).
// Copies share the compiled form, which is safe to match from any thread. Compiling the same
// text twice in a process gives the same compiled form, and each compiled form remembers its
// verdicts, so a pattern is compiled and a text matched once however often a schema repeats them.
class Regex {
 public:
  // ICU's compile time grows with the square of a pattern's length (a 1 MB pattern takes
  // seconds); longer patterns are not compiled. Real patterns stay far below this (the longest
  // of the corpus is a few hundred bytes), and a 4 kB one compiles in about a millisecond.
  static constexpr std::size_t maximumPatternBytes = 4096;
  // One match stops undecided after this many ICU time units (about 0.1 ms each here).
  static constexpr std::int32_t matchTimeLimit = 100;
  // All the matches of one process together stop after this many time units: past it every new
  // match is undecided at once. The sidecar and the checker answer one request per process, so
  // this bounds the regex time of a request (about 50 ms).
  static constexpr std::int32_t processTimeBudget = 500;

  // Nothing when ICU refuses the pattern, or it is longer than `maximumPatternBytes`.
  static std::optional<Regex> compile(std::string_view pattern);

  // The pattern text the expression was compiled from.
  const std::string& pattern() const;
  // True for a plain pattern (RegexPattern::isPlain): its meaning is settled without ICU.
  bool plain() const;

  // Whether the whole of `text` (well-formed UTF-8) matches.
  Match match(std::string_view text) const;
  // True when the whole of `text` matches; undecided counts as no match.
  bool matchesWhole(std::string_view text) const { return match(text) == Match::yes; }

  struct Compiled;  // opaque outside its source

 private:
  explicit Regex(std::shared_ptr<const Compiled> compiled);
  std::shared_ptr<const Compiled> compiled_;
};

// The user-perceived characters of well-formed UTF-8 as views into `text`, in order: the same
// split as `graphemeClusters` without a string per character.
std::vector<std::string_view> graphemeClusterViews(std::string_view text);

}  // namespace TarnwickApple::Unicode
