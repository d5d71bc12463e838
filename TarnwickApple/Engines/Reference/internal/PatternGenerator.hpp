// Strings generated from the structure of a rewritten pattern: literal characters, escaped
// metacharacters, "\d", "\w", ".", non-capturing groups, "|" and the quantifiers
// "*", "+", "?", "{n}", "{n,}" and "{n,m}".
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "TarnwickApple/Engines/Reference/internal/AnswerBuffer.hpp"
#include "TarnwickApple/Engines/Reference/internal/Sampler.hpp"

namespace TarnwickApple::Engines {

class PatternGenerator {
 public:
  // Groups (and quantifiers of quantifiers) nested deeper than this are not read: generation
  // recurses once per level.
  static constexpr std::size_t maximumNesting = 64;
  // Repetitions a random answer adds beyond a quantifier's minimum, so "*" and "{n,}" stay short.
  static constexpr std::uint64_t extraRepetitions = 3;
  // Items one answer may write: four times the answer's byte limit, room for any answer that
  // fits, so that walking a pattern ends quickly whatever its shape. Past it the answer does not
  // fit, as with the byte limit.
  static constexpr std::uint64_t maximumSteps = std::uint64_t{4} * AnswerBuffer::maximumAnswerBytes;

  // Nothing when the pattern uses anything outside the dialect.
  static std::optional<PatternGenerator> parse(std::string_view pattern);

  // Bytes of the shortest string the pattern describes (saturating at a very large value).
  std::uint64_t shortestLength() const;

  // Appends the shortest string (first alternative among the shortest). `guard` watches the
  // growing text and throws when it can no longer fit.
  void appendShortest(std::string& out, AnswerBuffer& guard) const;
  // Appends a string drawn with `sampler`: any alternative, a few repetitions more than needed.
  void appendSampled(Sampler& sampler, std::string& out, AnswerBuffer& guard) const;

  struct Tree;  // the pattern as read; opaque outside its reader

 private:
  explicit PatternGenerator(std::shared_ptr<const Tree> tree) : tree_(std::move(tree)) {}
  std::shared_ptr<const Tree> tree_;
};

}  // namespace TarnwickApple::Engines
