// Scalar values within their guides. Every string is confirmed against its compiled patterns
// before it is written, whether it came from a pattern's structure or from the fallbacks.
#include "TarnwickApple/Engines/Reference/internal/ScalarGenerator.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>
#include <variant>

#include "TarnwickApple/FoundationModels/LanguageModelSession.hpp"
#include "TarnwickApple/JSON/JSONText.hpp"

namespace TarnwickApple::Engines {
using namespace FoundationModels;
namespace {

using ScalarType = DynamicGenerationSchema::ScalarType;
using GenerationError = LanguageModelSession::GenerationError;

// Tried when a pattern's own structure gives nothing that its compiled form accepts (a pattern
// outside the dialect, or one the reader and the engine read differently).
constexpr std::string_view fallbackStrings[] = {"", "a", "0", "a0", "aa", "00", "example", " "};
// Fixed seeds for the fallbacks drawn from a pattern's structure, so they stay canonical.
constexpr std::uint64_t fallbackSeeds = 8;
// Letters of a sampled unguided string: at most this many.
constexpr std::uint64_t sampledWordLength = 8;

constexpr double twoToThe63 = 9223372036854775808.0;

// The smallest integer at or above `bound`, or nothing when none is an int64.
std::optional<std::int64_t> integerAtOrAbove(const GenerationGuide::Bound& bound) {
  if (const auto* value = std::get_if<std::int64_t>(&bound)) return *value;
  const double d = std::ceil(std::get<double>(bound));
  if (std::isnan(d) || d >= twoToThe63) return std::nullopt;
  return d < -twoToThe63 ? INT64_MIN : static_cast<std::int64_t>(d);
}

std::optional<std::int64_t> integerAtOrBelow(const GenerationGuide::Bound& bound) {
  if (const auto* value = std::get_if<std::int64_t>(&bound)) return *value;
  const double d = std::floor(std::get<double>(bound));
  if (std::isnan(d) || d < -twoToThe63) return std::nullopt;
  return d >= twoToThe63 ? INT64_MAX : static_cast<std::int64_t>(d);
}

double asDouble(const GenerationGuide::Bound& bound) {
  if (const auto* value = std::get_if<std::int64_t>(&bound)) return static_cast<double>(*value);
  return std::get<double>(bound);
}

std::string jsonString(std::string_view text) {
  std::string out;
  JSONText::appendString(out, text);
  return out;
}

[[noreturn]] void noMatchingString() {
  throw GenerationError(GenerationError::Case::decodingFailure,
                        {"no string could be generated that matches the pattern guide"});
}

// Hands each numeric guide's bounds on: a minimum raises the low end, a maximum lowers the high
// end, a range does both; text guides say nothing about numbers.
template <typename RaiseLow, typename LowerHigh>
void applyBounds(const std::vector<GenerationGuide>& guides, RaiseLow raiseLow, LowerHigh lowerHigh) {
  for (const GenerationGuide& guide : guides) {
    switch (guide.kind()) {
      case GenerationGuide::Case::minimum: raiseLow(guide.lower()); break;
      case GenerationGuide::Case::maximum: lowerHigh(guide.upper()); break;
      case GenerationGuide::Case::range:
        raiseLow(guide.lower());
        lowerHigh(guide.upper());
        break;
      case GenerationGuide::Case::constant:
      case GenerationGuide::Case::pattern:
        break;
    }
  }
}

}  // namespace

ScalarGenerator::ScalarGenerator(const DynamicGenerationSchema& scalar) : type_(scalar.scalarType()) {
  switch (type_) {
    case ScalarType::string:
      readStringGuides(scalar.guides());
      return;
    case ScalarType::integer:
      readIntegerGuides(scalar.guides());
      return;
    case ScalarType::number:
      readNumberGuides(scalar.guides());
      return;
    case ScalarType::boolean:
      canonical_ = "false";
      return;
  }
}

void ScalarGenerator::readStringGuides(const std::vector<GenerationGuide>& guides) {
  for (const GenerationGuide& guide : guides) {
    switch (guide.kind()) {
      case GenerationGuide::Case::constant:
        if (constant_ && *constant_ != guide.constantValue()) possible_ = false;
        constant_ = guide.constantValue();
        break;
      case GenerationGuide::Case::pattern:
        patterns_.push_back(guide.expression());
        break;
      case GenerationGuide::Case::minimum:
      case GenerationGuide::Case::maximum:
      case GenerationGuide::Case::range:
        break;  // bounds say nothing about text
    }
  }
  if (constant_) {
    if (!matchesPatterns(*constant_)) possible_ = false;
    canonical_ = jsonString(*constant_);
  } else if (!patterns_.empty()) {
    generator_ = PatternGenerator::parse(patterns_.front().pattern());
  } else {
    canonical_ = "\"\"";
  }
}

void ScalarGenerator::readIntegerGuides(const std::vector<GenerationGuide>& guides) {
  const auto raiseLow = [&](const GenerationGuide::Bound& bound) {
    const auto low = integerAtOrAbove(bound);
    if (!low) possible_ = false;
    else integerLow_ = std::max(integerLow_, *low);
  };
  const auto lowerHigh = [&](const GenerationGuide::Bound& bound) {
    const auto high = integerAtOrBelow(bound);
    if (!high) possible_ = false;
    else integerHigh_ = std::min(integerHigh_, *high);
  };
  applyBounds(guides, raiseLow, lowerHigh);
  if (integerLow_ > integerHigh_) possible_ = false;
  std::string text;
  JSONText::appendInteger(text, std::clamp<std::int64_t>(0, integerLow_, std::max(integerLow_, integerHigh_)));
  canonical_ = std::move(text);
}

void ScalarGenerator::readNumberGuides(const std::vector<GenerationGuide>& guides) {
  numberLow_ = -std::numeric_limits<double>::infinity();
  numberHigh_ = std::numeric_limits<double>::infinity();
  // A NaN bound admits nothing: every comparison with it fails.
  const auto raiseLow = [&](const GenerationGuide::Bound& bound) {
    const double low = asDouble(bound);
    if (std::isnan(low)) possible_ = false;
    else numberLow_ = std::max(numberLow_, low);
  };
  const auto lowerHigh = [&](const GenerationGuide::Bound& bound) {
    const double high = asDouble(bound);
    if (std::isnan(high)) possible_ = false;
    else numberHigh_ = std::min(numberHigh_, high);
  };
  applyBounds(guides, raiseLow, lowerHigh);
  const double largest = std::numeric_limits<double>::max();
  if (!(numberLow_ <= numberHigh_) || numberLow_ > largest || numberHigh_ < -largest) possible_ = false;
  std::string text;
  JSONText::appendDouble(text, possible_ ? std::clamp(0.0, numberLow_, numberHigh_) : 0.0);
  canonical_ = std::move(text);
}

bool ScalarGenerator::matchesPatterns(const std::string& text) const {
  return std::all_of(patterns_.begin(), patterns_.end(),
                     [&](const Unicode::Regex& pattern) { return pattern.matchesWhole(text); });
}

std::uint64_t ScalarGenerator::canonicalSize() const {
  if (canonical_) return canonical_->size();
  return 2 + (generator_ ? generator_->shortestLength() : 0);
}

bool ScalarGenerator::acceptsDrawn(const std::string& text) const {
  // A plain pattern's structure is read as ICU reads it: what it draws needs no confirming.
  if (patterns_.empty()) return false;
  if (!patterns_.front().plain() && patterns_.front().match(text) == Unicode::Match::no) return false;
  return std::all_of(patterns_.begin() + 1, patterns_.end(),
                     [&](const Unicode::Regex& pattern) { return pattern.matchesWhole(text); });
}

const std::string& ScalarGenerator::canonicalString(AnswerBuffer& guard) const {
  if (canonical_) return *canonical_;
  // The shortest string of the pattern's structure, then fixed draws from it, then plain
  // guesses; the first that every compiled pattern accepts is the canonical string.
  std::string candidate;
  if (generator_) {
    generator_->appendShortest(candidate, guard);
    if (acceptsDrawn(candidate)) return *(canonical_ = jsonString(candidate));
    for (std::uint64_t seed = 1; seed <= fallbackSeeds; ++seed) {
      Sampler sampler = Sampler::seeded(seed);
      candidate.clear();
      generator_->appendSampled(sampler, candidate, guard);
      if (acceptsDrawn(candidate)) return *(canonical_ = jsonString(candidate));
    }
  }
  for (const std::string_view fallback : fallbackStrings) {
    candidate = fallback;
    if (matchesPatterns(candidate)) return *(canonical_ = jsonString(candidate));
  }
  noMatchingString();
}

void ScalarGenerator::appendCanonical(AnswerBuffer& out) const { out.append(canonicalString(out)); }

void ScalarGenerator::appendSampled(Sampler& sampler, AnswerBuffer& out, std::size_t room) const {
  std::string drawn;
  switch (type_) {
    case ScalarType::boolean:
      drawn = sampler.coin() ? "true" : "false";
      break;
    case ScalarType::integer: {
      // Near the canonical value, within the bounds; 128-bit arithmetic cannot overflow here.
      const __int128 center = std::clamp<std::int64_t>(0, integerLow_, integerHigh_);
      const __int128 low = std::max<__int128>(integerLow_, center - sampledSpread);
      const __int128 high = std::min<__int128>(integerHigh_, center + sampledSpread);
      const auto value = static_cast<std::int64_t>(low + static_cast<__int128>(sampler.below(static_cast<std::uint64_t>(high - low) + 1)));
      JSONText::appendInteger(drawn, value);
      break;
    }
    case ScalarType::number: {
      const double center = std::clamp(0.0, numberLow_, numberHigh_);
      const double low = std::max(numberLow_, center - static_cast<double>(sampledSpread));
      const double high = std::min(numberHigh_, center + static_cast<double>(sampledSpread));
      double value = low + sampler.unit() * (high - low);
      // Two decimals read better; keep them when the rounding stays within the bounds.
      const double rounded = std::round(value * 100.0) / 100.0;
      if (std::isfinite(rounded) && rounded >= numberLow_ && rounded <= numberHigh_) value = rounded;
      value = std::clamp(value, numberLow_, numberHigh_);
      if (value == 0) value = 0.0;  // never "-0.0"
      JSONText::appendDouble(drawn, value);
      break;
    }
    case ScalarType::string: {
      if (constant_) {
        drawn = *canonical_;
        break;
      }
      std::string text;
      if (patterns_.empty()) {
        const std::uint64_t length = 1 + sampler.below(sampledWordLength);
        for (std::uint64_t i = 0; i < length; ++i) text += static_cast<char>('a' + sampler.below(26));
        drawn = jsonString(text);
        break;
      }
      for (int attempt = 0; attempt < sampledAttempts && generator_; ++attempt) {
        text.clear();
        generator_->appendSampled(sampler, text, out);
        if (acceptsDrawn(text)) {
          drawn = jsonString(text);
          break;
        }
      }
      if (drawn.empty()) drawn = canonicalString(out);
      break;
    }
  }
  if (drawn.size() > canonicalSize() + room) {
    appendCanonical(out);
    return;
  }
  out.append(drawn);
}

}  // namespace TarnwickApple::Engines
