// The reference engine's availability and plain-text answers: the prompt echoed back, within the
// context window and the response-token limit.
#include "TarnwickApple/Engines/Reference/ReferenceEngine.hpp"

#include "TarnwickApple/FoundationModels/LanguageModelSession.hpp"
#include "TarnwickApple/Engines/Reference/internal/Snapshots.hpp"
#include "TarnwickApple/Engines/Reference/internal/Tokenizer.hpp"

namespace TarnwickApple::Engines {
using namespace FoundationModels;

SystemLanguageModel::Availability ReferenceEngine::availability() { return SystemLanguageModel::Availability::available(); }

std::size_t ReferenceEngine::sessionTokens(const SessionSettings& session) {
  std::size_t tokens = session.instructions ? Tokenizer::count(*session.instructions) : 0;
  for (const Turn& turn : session.history) tokens += Tokenizer::count(turn.text);
  return tokens;
}

std::string ReferenceEngine::respond(const SessionSettings& session, std::string_view prompt,
                                     const GenerationOptions& options) {
  // Sampling and temperature cannot change an echo. A token limit of 0 or below cuts the answer
  // to nothing; a cut answer is not an error.
  std::string_view answer = prompt;
  if (options.maximumResponseTokens) {
    const std::int64_t limit = *options.maximumResponseTokens;
    answer = limit <= 0 ? std::string_view() : prompt.substr(0, Tokenizer::prefixLength(prompt, static_cast<std::size_t>(limit)));
  }
  if (contextWindow_ != 0) {
    const std::size_t instructionTokens = sessionTokens(session);
    const std::size_t promptTokens = Tokenizer::count(prompt);
    const std::size_t answerTokens = answer.size() == prompt.size() ? promptTokens : Tokenizer::count(answer);
    if (instructionTokens + promptTokens + answerTokens > contextWindow_) {
      throw LanguageModelSession::GenerationError(
          LanguageModelSession::GenerationError::Case::exceededContextWindowSize,
          {"instructions, prompt and answer exceed the context window"});
    }
  }
  return std::string(answer);
}

std::string ReferenceEngine::streamResponse(const SessionSettings& session, std::string_view prompt,
                                            const GenerationOptions& options, const SnapshotSink& sink) {
  std::string answer = respond(session, prompt, options);
  Snapshots::ofText(answer, sink);
  return answer;
}

}  // namespace TarnwickApple::Engines
