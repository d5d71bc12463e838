// An engine that reports a chosen unavailability or fails generation with a chosen case, and
// otherwise forwards: named failure switches for tests and test builds.
#pragma once

#include <optional>

#include "TarnwickApple/FoundationModels/Engine.hpp"
#include "TarnwickApple/FoundationModels/LanguageModelSession.hpp"

namespace TarnwickApple::Testing {

class FaultEngine : public FoundationModels::EngineWrapper {
 public:
  explicit FaultEngine(FoundationModels::Engine& target) : EngineWrapper(target) {}

  // Reported instead of the target's availability when set.
  std::optional<FoundationModels::SystemLanguageModel::Availability> availabilityOverride;
  // Thrown by both respond calls when set; the streaming calls throw it after the target's
  // snapshots.
  std::optional<FoundationModels::LanguageModelSession::GenerationError::Case> generationFailure;
  // Counts respond calls that reached this engine, failed or not.
  int respondCalls = 0;

  FoundationModels::SystemLanguageModel::Availability availability() override;
  std::string respond(const FoundationModels::SessionSettings& session, std::string_view prompt,
                      const FoundationModels::GenerationOptions& options) override;
  std::string respond(const FoundationModels::SessionSettings& session, std::string_view prompt,
                      const FoundationModels::GenerationSchema& schema, bool includeSchemaInPrompt,
                      const FoundationModels::GenerationOptions& options) override;
  std::string streamResponse(const FoundationModels::SessionSettings& session, std::string_view prompt,
                             const FoundationModels::GenerationOptions& options,
                             const FoundationModels::SnapshotSink& sink) override;
  std::string streamResponse(const FoundationModels::SessionSettings& session, std::string_view prompt,
                             const FoundationModels::GenerationSchema& schema, bool includeSchemaInPrompt,
                             const FoundationModels::GenerationOptions& options,
                             const FoundationModels::SnapshotSink& sink) override;
};

}  // namespace TarnwickApple::Testing
