// The model and its session: the framework's operations over the engine seam.
#include "TarnwickApple/FoundationModels/SystemLanguageModel.hpp"

#include "TarnwickApple/FoundationModels/Engine.hpp"
#include "TarnwickApple/FoundationModels/LanguageModelSession.hpp"
#include "TarnwickApple/Text/Unicode.hpp"

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

LanguageModelSession::LanguageModelSession(SystemLanguageModel model, std::vector<std::shared_ptr<Tool>> tools,
                                           std::optional<std::string> instructions, std::vector<Turn> history)
    : model_(model), tools_(std::move(tools)), instructions_(std::move(instructions)), history_(std::move(history)) {}

namespace {

SessionSettings settingsOf(const LanguageModelSession& session) {
  return SessionSettings{session.model().useCase(), session.model().guardrails(), session.instructions(),
                         session.history()};
}

// Whatever an engine hands back, what leaves the framework is well-formed UTF-8.
std::string wellFormed(std::string text) {
  if (Unicode::isValidUTF8(text)) return text;
  return Unicode::scrubbed(text);
}

// Snapshots leave the framework well-formed too.
SnapshotSink wellFormedSnapshots(const SnapshotSink& sink) {
  return [&sink](std::string_view snapshot) {
    if (Unicode::isValidUTF8(snapshot)) return sink(snapshot);
    return sink(Unicode::scrubbed(snapshot));
  };
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

LanguageModelSession::Response<std::string> LanguageModelSession::streamResponse(std::string_view prompt,
                                                                                const GenerationOptions& options,
                                                                                const SnapshotSink& sink) {
  return {wellFormed(model_.engine().streamResponse(settingsOf(*this), prompt, options, wellFormedSnapshots(sink)))};
}

LanguageModelSession::Response<GeneratedContent> LanguageModelSession::streamResponse(
    std::string_view prompt, const GenerationSchema& schema, bool includeSchemaInPrompt,
    const GenerationOptions& options, const SnapshotSink& sink) {
  return {GeneratedContent(wellFormed(model_.engine().streamResponse(settingsOf(*this), prompt, schema,
                                                                     includeSchemaInPrompt, options,
                                                                     wellFormedSnapshots(sink))))};
}

}  // namespace TarnwickApple::FoundationModels
