// The failure switches of FaultEngine.
#include "support/FaultEngine.hpp"

namespace TarnwickApple::Testing {
using namespace FoundationModels;
namespace {

[[noreturn]] void fail(LanguageModelSession::GenerationError::Case kind) {
  throw LanguageModelSession::GenerationError(kind, {"failure injected by a test engine"});
}

}  // namespace

SystemLanguageModel::Availability FaultEngine::availability() {
  return availabilityOverride ? *availabilityOverride : EngineWrapper::availability();
}

std::string FaultEngine::respond(const SessionSettings& session, std::string_view prompt,
                                 const GenerationOptions& options) {
  ++respondCalls;
  if (generationFailure) fail(*generationFailure);
  return EngineWrapper::respond(session, prompt, options);
}

std::string FaultEngine::respond(const SessionSettings& session, std::string_view prompt,
                                 const GenerationSchema& schema, bool includeSchemaInPrompt,
                                 const GenerationOptions& options) {
  ++respondCalls;
  if (generationFailure) fail(*generationFailure);
  return EngineWrapper::respond(session, prompt, schema, includeSchemaInPrompt, options);
}

std::string FaultEngine::streamResponse(const SessionSettings& session, std::string_view prompt,
                                        const GenerationOptions& options, const SnapshotSink& sink) {
  ++respondCalls;
  std::string answer = EngineWrapper::streamResponse(session, prompt, options, sink);
  if (generationFailure) fail(*generationFailure);
  return answer;
}

std::string FaultEngine::streamResponse(const SessionSettings& session, std::string_view prompt,
                                        const GenerationSchema& schema, bool includeSchemaInPrompt,
                                        const GenerationOptions& options, const SnapshotSink& sink) {
  ++respondCalls;
  std::string answer = EngineWrapper::streamResponse(session, prompt, schema, includeSchemaInPrompt, options, sink);
  if (generationFailure) fail(*generationFailure);
  return answer;
}

}  // namespace TarnwickApple::Testing
