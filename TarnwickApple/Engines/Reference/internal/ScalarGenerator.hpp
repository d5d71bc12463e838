// Values of one scalar schema within its guides: booleans, integers and numbers within their
// bounds, strings equal to their constant and matching their patterns in full.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "TarnwickApple/Engines/Reference/internal/AnswerBuffer.hpp"
#include "TarnwickApple/FoundationModels/DynamicGenerationSchema.hpp"
#include "TarnwickApple/Engines/Reference/internal/PatternGenerator.hpp"
#include "TarnwickApple/Engines/Reference/internal/Sampler.hpp"

namespace TarnwickApple::Engines {
using namespace FoundationModels;

class ScalarGenerator {
 public:
  // Attempts at a sampled string that matches every pattern before the canonical one is used.
  static constexpr int sampledAttempts = 4;
  // How far a sampled integer or number strays from the canonical one, so values stay short.
  static constexpr std::int64_t sampledSpread = 1000;

  explicit ScalarGenerator(const DynamicGenerationSchema& scalar);

  // False when no value satisfies every guide: a constant that a pattern refuses, two different
  // constants, bounds that exclude each other.
  bool possible() const { return possible_; }

  // Bytes of the canonical value's JSON text (for a pattern, of its shortest string).
  std::uint64_t canonicalSize() const;

  // The canonical value: the greedy answer and the smallest way out. Throws GenerationError
  // (decodingFailure) when no string can be found that matches the patterns.
  void appendCanonical(AnswerBuffer& out) const;

  // A value drawn with `sampler`, or the canonical one when the draw would be more than `room`
  // bytes longer than it.
  void appendSampled(Sampler& sampler, AnswerBuffer& out, std::size_t room) const;

 private:
  void readStringGuides(const std::vector<GenerationGuide>& guides);
  void readIntegerGuides(const std::vector<GenerationGuide>& guides);
  void readNumberGuides(const std::vector<GenerationGuide>& guides);
  bool matchesPatterns(const std::string& text) const;
  // For a string drawn from the first pattern's structure: it is that pattern's by construction,
  // so only a definite "no" from it refuses the string (a match that timed out does not), and a
  // plain pattern is not asked at all.
  bool acceptsDrawn(const std::string& text) const;
  const std::string& canonicalString(AnswerBuffer& guard) const;

  DynamicGenerationSchema::ScalarType type_;
  bool possible_ = true;
  // string
  std::optional<std::string> constant_;
  std::vector<Unicode::Regex> patterns_;
  std::optional<PatternGenerator> generator_;
  // integer and number bounds, inclusive
  std::int64_t integerLow_ = INT64_MIN, integerHigh_ = INT64_MAX;
  double numberLow_ = 0, numberHigh_ = 0;
  // The canonical value's JSON text, made when first needed (patterns may need a long string).
  mutable std::optional<std::string> canonical_;
};

}  // namespace TarnwickApple::Engines
