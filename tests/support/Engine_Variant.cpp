// The default engine of the test builds of the sidecar: unavailable for one chosen reason, or an
// echo without a context window.
#include "TarnwickApple/FoundationModels/Engine.hpp"
#include "TarnwickApple/FoundationModels/FaultEngine.hpp"
#include "TarnwickApple/FoundationModels/ReferenceEngine.hpp"

namespace TarnwickApple::FoundationModels {

Engine& defaultEngine() {
#if defined(TARNWICK_ENGINE_VARIANT_echo)
  static ReferenceEngine engine(0);
  return engine;
#else
  using Reason = SystemLanguageModel::Availability::UnavailableReason;
#if defined(TARNWICK_ENGINE_VARIANT_deviceNotEligible)
  constexpr Reason reason = Reason::deviceNotEligible;
#elif defined(TARNWICK_ENGINE_VARIANT_appleIntelligenceNotEnabled)
  constexpr Reason reason = Reason::appleIntelligenceNotEnabled;
#elif defined(TARNWICK_ENGINE_VARIANT_modelNotReady)
  constexpr Reason reason = Reason::modelNotReady;
#else
  constexpr Reason reason = Reason::unrecognized;
#endif
  static ReferenceEngine reference;
  static FaultEngine engine = [] {
    FaultEngine e(reference);
    e.availabilityOverride = SystemLanguageModel::Availability::unavailable(reason);
    return e;
  }();
  return engine;
#endif
}

}  // namespace TarnwickApple::FoundationModels
