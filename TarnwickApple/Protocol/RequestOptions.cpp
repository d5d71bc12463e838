// Reading a request's options into the framework's: sampling, temperature and the token limit.
#include "TarnwickApple/Protocol/RequestOptions.hpp"

namespace TarnwickApple {
namespace FM = FoundationModels;

FM::GenerationOptions generationOptions(const std::optional<Options>& options) {
  FM::GenerationOptions result;
  if (!options) return result;
  if (options->sampling) {
    const Sampling& sampling = *options->sampling;
    switch (sampling.kind) {
      case Sampling::Case::greedy:
        result.sampling = FM::SamplingMode::greedy();
        break;
      case Sampling::Case::random:
        if (sampling.top && sampling.probabilityThreshold) throw SidecarError::conflictingSampling;
        if (sampling.top) {
          result.sampling = FM::SamplingMode::random(*sampling.top, sampling.seed);
        } else {
          result.sampling = FM::SamplingMode::random(sampling.probabilityThreshold.value_or(1.0), sampling.seed);
        }
        break;
    }
  }
  result.temperature = options->temperature;
  result.maximumResponseTokens = options->maximumResponseTokens;
  return result;
}

}  // namespace TarnwickApple
