// Whole-text matching of plain patterns (RegexPattern::isPlain) by a Thompson automaton: time
// linear in the text for a given pattern, so no match of a plain pattern ever runs out of time.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>

namespace TarnwickApple::RegexPattern {

class PlainMatcher {
 public:
  // Instructions an automaton may hold: counted repetitions are spelled out, and nested counts
  // could multiply past any use.
  static constexpr std::size_t maximumInstructions = 20000;
  // Work one match may do, in instructions times characters (about 0.1 s at most); past it the
  // caller asks ICU.
  static constexpr std::size_t maximumWork = std::size_t{1} << 23;

  // Nothing when `pattern` is not plain or its automaton would be too large.
  static std::optional<PlainMatcher> compile(std::string_view pattern);

  // Whether the whole of `text` (well-formed UTF-8) matches, as ICU would decide; nothing when
  // the match would do more than `maximumWork`.
  std::optional<bool> matches(std::string_view text) const;

  // The work a match of `text` may do at most, in instructions times characters.
  std::size_t workBound(std::string_view text) const;

  struct Program;  // opaque outside its source

 private:
  explicit PlainMatcher(std::shared_ptr<const Program> program) : program_(std::move(program)) {}
  std::shared_ptr<const Program> program_;
};

}  // namespace TarnwickApple::RegexPattern
