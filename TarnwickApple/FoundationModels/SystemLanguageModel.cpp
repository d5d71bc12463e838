// The model and its session: the framework's operations over the engine seam.
#include "TarnwickApple/FoundationModels/SystemLanguageModel.hpp"

#include "TarnwickApple/FoundationModels/Engine.hpp"
#include "TarnwickApple/FoundationModels/LanguageModelSession.hpp"
#include "TarnwickApple/Unicode.hpp"

namespace TarnwickApple::FoundationModels {

SystemLanguageModel SystemLanguageModel::defaultModel(Engine& engine) {
  return SystemLanguageModel(UseCase::general, Guardrails::defaultGuardrails, engine);
}

SystemLanguageModel::SystemLanguageModel(UseCase useCase, Guardrails guardrails, Engine& engine)
    : useCase_(useCase), guardrails_(guardrails), engine_(&engine) {}

SystemLanguageModel::Availability SystemLanguageModel::availability() const { return engine_->availability(); }

LanguageModelSession::LanguageModelSession(SystemLanguageModel model, std::vector<std::shared_ptr<Tool>> tools,
                                           std::optional<std::string> instructions)
    : model_(model), tools_(std::move(tools)), instructions_(std::move(instructions)) {}

namespace {

SessionSettings settingsOf(const LanguageModelSession& session) {
  return SessionSettings{session.model().useCase(), session.model().guardrails(), session.instructions()};
}

// Whatever an engine hands back, what leaves the framework is well-formed UTF-8.
std::string wellFormed(std::string text) {
  if (Unicode::isValidUTF8(text)) return text;
  return Unicode::scrubbed(text);
}

}  // namespace

LanguageModelSession::Response<std::string> LanguageModelSession::respond(std::string_view prompt,
                                                                         const GenerationOptions& options) {
  return {wellFormed(model_.engine().respond(settingsOf(*this), prompt, options))};
}

LanguageModelSession::Response<GeneratedContent> LanguageModelSession::respond(
    std::string_view prompt, const GenerationSchema& schema, bool includeSchemaInPrompt,
    const GenerationOptions& options) {
  return {GeneratedContent(wellFormed(model_.engine().respond(settingsOf(*this), prompt, schema,
                                                              includeSchemaInPrompt, options)))};
}

}  // namespace TarnwickApple::FoundationModels
