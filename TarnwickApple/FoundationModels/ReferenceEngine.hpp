// The reference engine: always available, understands no language, follows every schema and
// guide exactly and deterministically. Plain text is the prompt echoed back.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "TarnwickApple/FoundationModels/Engine.hpp"

namespace TarnwickApple::FoundationModels {

class ReferenceEngine : public Engine {
 public:
  // Tokens for instructions, prompt (and schema) and answer together, as on the device.
  static constexpr std::size_t contextWindowTokens = 4096;

  // `contextWindow` of 0 means no window at all (for tests of very large texts).
  explicit ReferenceEngine(std::size_t contextWindow = contextWindowTokens)
      : contextWindow_(contextWindow) {}

  SystemLanguageModel::Availability availability() override;
  std::string respond(const SessionSettings& session, std::string_view prompt,
                      const GenerationOptions& options) override;
  std::string respond(const SessionSettings& session, std::string_view prompt,
                      const GenerationSchema& schema, bool includeSchemaInPrompt,
                      const GenerationOptions& options) override;

 private:
  std::size_t contextWindow_;
};

}  // namespace TarnwickApple::FoundationModels
