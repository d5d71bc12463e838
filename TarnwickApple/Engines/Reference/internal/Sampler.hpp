// The reference engine's decisions: one canonical answer for greedy sampling, reproducible
// pseudo-random ones for random sampling with a seed.
#pragma once

#include <cstdint>

#include "TarnwickApple/FoundationModels/GenerationOptions.hpp"

namespace TarnwickApple::Engines {
using namespace FoundationModels;

class Sampler {
 public:
  // Greedy when there is no sampling mode or it is greedy; otherwise random from the seed, or
  // from the system's entropy when there is none.
  explicit Sampler(const GenerationOptions& options);
  // A random sampler with a fixed seed, for the engine's own retries.
  static Sampler seeded(std::uint64_t seed);

  bool greedy() const { return greedy_; }

  std::uint64_t next();
  // Uniform in [0, bound); 0 when bound is 0.
  std::uint64_t below(std::uint64_t bound);
  bool coin() { return (next() & 1) != 0; }
  // Uniform in [0, 1).
  double unit();

 private:
  Sampler(bool greedy, std::uint64_t state) : greedy_(greedy), state_(state) {}
  bool greedy_;
  std::uint64_t state_;
};

}  // namespace TarnwickApple::Engines
