// The reference engine: always available, understands no language, follows every schema and
// guide exactly and deterministically. Plain text is the prompt echoed back. Earlier turns only
// take their room in the context window; streamed answers are the same answers in snapshots.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "TarnwickApple/FoundationModels/Engine.hpp"

namespace TarnwickApple::Engines {

class ReferenceEngine : public FoundationModels::Engine {
 public:
  // Tokens for instructions, earlier turns, prompt (and schema) and answer together, as on the
  // device.
  static constexpr std::size_t contextWindowTokens = 4096;

  // `contextWindow` of 0 means no window at all (for tests of very large texts).
  explicit ReferenceEngine(std::size_t contextWindow = contextWindowTokens) : contextWindow_(contextWindow) {}

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

  // The tokens the session takes before the prompt: its instructions and earlier turns.
  static std::size_t sessionTokens(const FoundationModels::SessionSettings& session);

 private:
  std::size_t contextWindow_;
};

}  // namespace TarnwickApple::Engines
