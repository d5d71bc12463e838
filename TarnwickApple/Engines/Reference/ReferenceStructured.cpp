// The reference engine's structured answers: the context window less the instructions, earlier turns,
// prompt and (when it is included) the schema's description is what the answer may take.
#include "TarnwickApple/FoundationModels/LanguageModelSession.hpp"
#include "TarnwickApple/Engines/Reference/ReferenceEngine.hpp"
#include "TarnwickApple/Engines/Reference/internal/Snapshots.hpp"
#include "TarnwickApple/Engines/Reference/internal/StructuredGenerator.hpp"
#include "TarnwickApple/Engines/Reference/internal/Tokenizer.hpp"

namespace TarnwickApple::Engines {
using namespace FoundationModels;

std::string ReferenceEngine::respond(const SessionSettings& session, std::string_view prompt,
                                     const GenerationSchema& schema, bool includeSchemaInPrompt,
                                     const GenerationOptions& options) {
  AnswerLimits limits;
  limits.responseTokens = options.maximumResponseTokens;
  if (contextWindow_ != 0) {
    std::size_t used = Tokenizer::count(prompt) + sessionTokens(session);
    if (includeSchemaInPrompt) used += Tokenizer::count(schema.description());
    if (used > contextWindow_) {
      throw LanguageModelSession::GenerationError(
          LanguageModelSession::GenerationError::Case::exceededContextWindowSize,
          {"instructions, prompt and schema exceed the context window"});
    }
    limits.contextTokens = contextWindow_ - used;
  }
  return StructuredGenerator::generate(schema, options, limits);
}

std::string ReferenceEngine::streamResponse(const SessionSettings& session, std::string_view prompt,
                                            const GenerationSchema& schema, bool includeSchemaInPrompt,
                                            const GenerationOptions& options, const SnapshotSink& sink) {
  std::string answer = respond(session, prompt, schema, includeSchemaInPrompt, options);
  Snapshots::ofJSON(answer, sink);
  return answer;
}

}  // namespace TarnwickApple::Engines
