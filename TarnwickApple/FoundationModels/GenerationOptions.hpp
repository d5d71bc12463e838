// How one generation samples: the sampling mode, temperature and response-token limit.
#pragma once

#include <cstdint>
#include <optional>

namespace TarnwickApple::FoundationModels {

struct SamplingMode {
  enum class Case { greedy, randomTop, randomProbabilityThreshold };

  Case kind = Case::greedy;
  std::int64_t top = 0;                 // randomTop
  double probabilityThreshold = 0.0;    // randomProbabilityThreshold
  std::optional<std::uint64_t> seed;    // either random case

  static SamplingMode greedy() { return {}; }
  // `random(top:seed:)`
  static SamplingMode random(std::int64_t top, std::optional<std::uint64_t> seed) {
    return {Case::randomTop, top, 0.0, seed};
  }
  // `random(probabilityThreshold:seed:)`
  static SamplingMode random(double probabilityThreshold, std::optional<std::uint64_t> seed) {
    return {Case::randomProbabilityThreshold, 0, probabilityThreshold, seed};
  }
  friend bool operator==(const SamplingMode&, const SamplingMode&) = default;
};

struct GenerationOptions {
  std::optional<SamplingMode> sampling;
  std::optional<double> temperature;
  std::optional<std::int64_t> maximumResponseTokens;
  friend bool operator==(const GenerationOptions&, const GenerationOptions&) = default;
};

}  // namespace TarnwickApple::FoundationModels
