// The framework engine: the platform's on-device model, reached through the C functions
// of the framework boundary.
#pragma once

#include <string>
#include <string_view>

#include "TarnwickApple/FoundationModels/Engine.hpp"

namespace TarnwickApple::Engines {

class FrameworkEngine : public FoundationModels::Engine {
 public:
  // An availability code the boundary does not list counts as unavailable for an unknown reason.
  FoundationModels::SystemLanguageModel::Availability availability() override;
  // A broken answer (none, not JSON, the wrong version or shape, too large) fails as a
  // generation failure of an unnamed case, never worse.
  std::string respond(const FoundationModels::SessionSettings& session, std::string_view prompt,
                      const FoundationModels::GenerationOptions& options) override;
  std::string respond(const FoundationModels::SessionSettings& session, std::string_view prompt,
                      const FoundationModels::GenerationSchema& schema, bool includeSchemaInPrompt,
                      const FoundationModels::GenerationOptions& options) override;
  // Snapshots come through the boundary's streaming call; a sink that says stop cancels it.
  std::string streamResponse(const FoundationModels::SessionSettings& session, std::string_view prompt,
                             const FoundationModels::GenerationOptions& options,
                             const FoundationModels::SnapshotSink& sink) override;
  std::string streamResponse(const FoundationModels::SessionSettings& session, std::string_view prompt,
                             const FoundationModels::GenerationSchema& schema, bool includeSchemaInPrompt,
                             const FoundationModels::GenerationOptions& options,
                             const FoundationModels::SnapshotSink& sink) override;
};

}  // namespace TarnwickApple::Engines
