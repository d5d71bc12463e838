// The on-device model: its availability, and a model configured by use case and guardrails.
#pragma once

#include <optional>

namespace TarnwickApple::FoundationModels {

class Engine;

class SystemLanguageModel {
 public:
  enum class UseCase { general, contentTagging };
  // `defaultGuardrails` stands for the framework's `default` (a keyword in C++).
  enum class Guardrails { defaultGuardrails, permissiveContentTransformations };

  struct Availability {
    // `unrecognized` stands for every reason this layer does not name.
    // Numbered for good: the numbers cross process and language boundaries.
    enum class UnavailableReason {
      deviceNotEligible = 1,
      appleIntelligenceNotEnabled = 2,
      modelNotReady = 3,
      unrecognized = 4,
    };

    std::optional<UnavailableReason> unavailableReason;  // nothing when available

    bool isAvailable() const { return !unavailableReason.has_value(); }
    static Availability available() { return {}; }
    static Availability unavailable(UnavailableReason reason) { return {reason}; }
    friend bool operator==(const Availability&, const Availability&) = default;
  };

  // The default model (`SystemLanguageModel.default`): general use case, default guardrails.
  static SystemLanguageModel defaultModel(Engine& engine);

  SystemLanguageModel(UseCase useCase, Guardrails guardrails,
                      Engine& engine);

  Availability availability() const;
  UseCase useCase() const { return useCase_; }
  Guardrails guardrails() const { return guardrails_; }
  Engine& engine() const { return *engine_; }

 private:
  UseCase useCase_;
  Guardrails guardrails_;
  Engine* engine_;
};

}  // namespace TarnwickApple::FoundationModels
