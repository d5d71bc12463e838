// A constraint on one generated scalar: a constant or pattern for text, bounds for numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "TarnwickApple/Text/Unicode.hpp"

namespace TarnwickApple::FoundationModels {

class GenerationGuide {
 public:
  enum class Case { constant, pattern, minimum, maximum, range };
  // A bound of an integer guide (int64) or of a floating-point guide (double).
  using Bound = std::variant<std::int64_t, double>;

  static GenerationGuide constant(std::string value);
  static GenerationGuide pattern(Unicode::Regex expression);
  static GenerationGuide minimum(Bound value);
  static GenerationGuide maximum(Bound value);
  static GenerationGuide range(Bound lower, Bound upper);  // both inclusive

  Case kind() const { return kind_; }
  const std::string& constantValue() const { return text_; }       // constant
  const Unicode::Regex& expression() const { return *regex_; }     // pattern
  const Bound& lower() const { return lower_; }                    // minimum, range
  const Bound& upper() const { return upper_; }                    // maximum, range

  // Guides compare by case and value; patterns by their pattern text.
  friend bool operator==(const GenerationGuide& a, const GenerationGuide& b);

 private:
  explicit GenerationGuide(Case kind) : kind_(kind) {}
  Case kind_;
  std::string text_;
  std::optional<Unicode::Regex> regex_;
  Bound lower_{std::int64_t{0}};
  Bound upper_{std::int64_t{0}};
};

}  // namespace TarnwickApple::FoundationModels
