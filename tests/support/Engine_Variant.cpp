// The default engine of the test builds of the sidecar: the reference engine as it ships,
// unavailable for one chosen reason, or an echo without a context window.
#include "TarnwickApple/Engines/Reference/ReferenceEngine.hpp"
#include "TarnwickApple/FoundationModels/Engine.hpp"
#include "support/FaultEngine.hpp"

namespace TarnwickApple::FoundationModels {

Engine& defaultEngine() {
#if defined(TARNWICK_ENGINE_VARIANT_reference)
  static Engines::ReferenceEngine engine;
  return engine;
#elif defined(TARNWICK_ENGINE_VARIANT_echo)
  static Engines::ReferenceEngine engine(0);
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
  static Engines::ReferenceEngine reference;
  static Testing::FaultEngine engine = [] {
    Testing::FaultEngine e(reference);
    e.availabilityOverride = SystemLanguageModel::Availability::unavailable(reason);
    return e;
  }();
  return engine;
#endif
}

}  // namespace TarnwickApple::FoundationModels
