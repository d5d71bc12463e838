// The seam under the framework layer: one engine answers availability, a plain respond and a
// structured respond. The build picks the default; tests pass their own.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "TarnwickApple/FoundationModels/GenerationOptions.hpp"
#include "TarnwickApple/FoundationModels/GenerationSchema.hpp"
#include "TarnwickApple/FoundationModels/SystemLanguageModel.hpp"

namespace TarnwickApple::FoundationModels {

// What a session hands its engine besides the prompt.
struct SessionSettings {
  SystemLanguageModel::UseCase useCase = SystemLanguageModel::UseCase::general;
  SystemLanguageModel::Guardrails guardrails = SystemLanguageModel::Guardrails::defaultGuardrails;
  std::optional<std::string> instructions;
};

class Engine {
 public:
  virtual ~Engine() = default;

  virtual SystemLanguageModel::Availability availability() = 0;

  // The plain-text answer; may throw LanguageModelSession::GenerationError.
  virtual std::string respond(const SessionSettings& session, std::string_view prompt,
                              const GenerationOptions& options) = 0;

  // Compact JSON text conforming to `schema`; may throw LanguageModelSession::GenerationError.
  virtual std::string respond(const SessionSettings& session, std::string_view prompt,
                              const GenerationSchema& schema, bool includeSchemaInPrompt,
                              const GenerationOptions& options) = 0;
};

// Forwards every call to another engine; subclasses override what they change.
class EngineWrapper : public Engine {
 public:
  explicit EngineWrapper(Engine& target) : target_(target) {}
  Engine& target() const { return target_; }

  SystemLanguageModel::Availability availability() override { return target_.availability(); }
  std::string respond(const SessionSettings& session, std::string_view prompt,
                      const GenerationOptions& options) override {
    return target_.respond(session, prompt, options);
  }
  std::string respond(const SessionSettings& session, std::string_view prompt,
                      const GenerationSchema& schema, bool includeSchemaInPrompt,
                      const GenerationOptions& options) override {
    return target_.respond(session, prompt, schema, includeSchemaInPrompt, options);
  }

 private:
  Engine& target_;
};

// The engine this build runs on (the reference engine here). Defined by the build's choice of
// default-engine source, never by code above this layer.
Engine& defaultEngine();

}  // namespace TarnwickApple::FoundationModels
