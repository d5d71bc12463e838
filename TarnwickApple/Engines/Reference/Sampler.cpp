// The reference engine's decisions: splitmix64 over the request's seed.
#include "TarnwickApple/Engines/Reference/internal/Sampler.hpp"

#include <random>

namespace TarnwickApple::Engines {
namespace {

std::uint64_t entropy() {
  std::random_device device;
  return (static_cast<std::uint64_t>(device()) << 32) ^ device();
}

}  // namespace

Sampler::Sampler(const GenerationOptions& options) : greedy_(true), state_(0) {
  if (!options.sampling) return;
  switch (options.sampling->kind) {
    case SamplingMode::Case::greedy:
      return;
    case SamplingMode::Case::randomTop:
    case SamplingMode::Case::randomProbabilityThreshold:
      greedy_ = false;
      state_ = options.sampling->seed ? *options.sampling->seed : entropy();
      return;
  }
}

Sampler Sampler::seeded(std::uint64_t seed) { return Sampler(false, seed); }

std::uint64_t Sampler::next() {
  // splitmix64: every seed gives its own well-mixed stream.
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

std::uint64_t Sampler::below(std::uint64_t bound) {
  if (bound == 0) return 0;
  // Rejection keeps the draw uniform for every bound.
  const std::uint64_t limit = UINT64_MAX - UINT64_MAX % bound;
  std::uint64_t value = next();
  while (value >= limit) value = next();
  return value % bound;
}

double Sampler::unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

}  // namespace TarnwickApple::Engines
