// An engine that reports a chosen unavailability or fails generation with a chosen case, and
// otherwise forwards: named failure switches for tests and test builds.
#pragma once

#include <optional>

#include "TarnwickApple/FoundationModels/Engine.hpp"
#include "TarnwickApple/FoundationModels/LanguageModelSession.hpp"

namespace TarnwickApple::FoundationModels {

class FaultEngine : public EngineWrapper {
 public:
  explicit FaultEngine(Engine& target) : EngineWrapper(target) {}

  // Reported instead of the target's availability when set.
  std::optional<SystemLanguageModel::Availability> availabilityOverride;
  // Thrown by both respond calls when set.
  std::optional<LanguageModelSession::GenerationError::Case> generationFailure;
  // Counts respond calls that reached this engine, failed or not.
  int respondCalls = 0;

  SystemLanguageModel::Availability availability() override;
  std::string respond(const SessionSettings& session, std::string_view prompt,
                      const GenerationOptions& options) override;
  std::string respond(const SessionSettings& session, std::string_view prompt,
                      const GenerationSchema& schema, bool includeSchemaInPrompt,
                      const GenerationOptions& options) override;
};

}  // namespace TarnwickApple::FoundationModels
