// Rewriting JSON Schema patterns into the model's small dialect: anchors dropped, groups made
// non-capturing, bracketed classes widened to one token; anything else recognised as unsupported.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// The rewritten pattern, or nothing when the pattern is unsupported (or rewrites to nothing).
std::optional<std::string> desugared(std::string_view pattern);

// The members of the class opening at `from` (a "[") and the index after its "]", or nothing.
std::optional<std::pair<std::vector<ClassMember>, std::size_t>> characterClass(
    const std::vector<Character>& pattern, std::size_t from);

// One class member at `from` and the index after it, or nothing.
std::optional<std::pair<ClassMember, std::size_t>> classMember(const std::vector<Character>& pattern,
                                                               std::size_t from);

// The characters from `low` through `high` (ASCII endpoints only), or nothing.
std::optional<std::vector<Character>> expand(Character low, Character high);

// The index after the "}" of a valid quantifier opening at `from` (a "{"), or nothing.
std::optional<std::size_t> quantifier(const std::vector<Character>& pattern, std::size_t from);

// The single token that replaces a class, or nothing when it cannot be widened.
std::optional<std::string> widening(const std::vector<ClassMember>& members);

}  // namespace TarnwickApple::RegexPattern
