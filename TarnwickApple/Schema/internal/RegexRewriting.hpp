// The pattern rewriting's pieces, shared by its source and its tests: characters, classes and
// their members, ranges, quantifiers and the widening of a class to one token.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "TarnwickApple/Schema/RegexPattern.hpp"

namespace TarnwickApple::RegexPattern {

// One user-perceived character (grapheme cluster) of a pattern, as UTF-8: a view into the
// pattern text (or into static storage), so the text must outlive the characters read from it.
using Character = std::string_view;

struct ClassMember {
  enum class Case { literal, escape };
  Case kind = Case::literal;
  Character character;  // escape: "d" or "w"

  static ClassMember literal(Character c) { return {Case::literal, c}; }
  static ClassMember escape(Character c) { return {Case::escape, c}; }
  friend bool operator==(const ClassMember&, const ClassMember&) = default;
};

// Ordered as declared: digit < word < any.
enum class Coverage { digit, word, any };

// The pattern split into characters, as every operation below reads it; views into `pattern`.
std::vector<Character> characters(std::string_view pattern);

// The members of the class opening at `from` (a "[") read into `members` (emptied first, its
// room kept between classes), and the index after its "]"; nothing when it is no class we read.
std::optional<std::size_t> characterClass(const std::vector<Character>& pattern, std::size_t from,
                                          std::vector<ClassMember>& members);

// One class member at `from` and the index after it, or nothing.
std::optional<std::pair<ClassMember, std::size_t>> classMember(const std::vector<Character>& pattern,
                                                               std::size_t from);

// The characters from `low` through `high` (ASCII endpoints only), or nothing.
std::optional<std::vector<Character>> expand(Character low, Character high);

// The index after the "}" of a valid quantifier opening at `from` (a "{"), or nothing.
std::optional<std::size_t> quantifier(const std::vector<Character>& pattern, std::size_t from);

// The single token that replaces a class, or nothing when it cannot be widened.
std::optional<std::string> widening(const std::vector<ClassMember>& members);

// What the rewriting made of a pattern: the rewritten text, or the construct that stopped it;
// and whether a class was replaced by a token that accepts more.
struct Rewriting {
  std::optional<std::string> pattern;
  std::string refusal;  // set when there is no pattern: "a lookahead (?=", "\\s (white space)", ...
  bool widened = false;
};

// `desugared` with the reason and the widening told.
Rewriting rewrite(std::string_view pattern);

}  // namespace TarnwickApple::RegexPattern
