// A session on a model: instructions, earlier turns, no tools, and the plain and structured
// respond and streamResponse calls.
#pragma once

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "TarnwickApple/FoundationModels/Engine.hpp"
#include "TarnwickApple/FoundationModels/GenerationOptions.hpp"
#include "TarnwickApple/FoundationModels/GenerationSchema.hpp"
#include "TarnwickApple/FoundationModels/SystemLanguageModel.hpp"

namespace TarnwickApple::FoundationModels {

// A tool the model could call. The sidecar never gives any; the type exists for the session's
// signature.
class Tool {
 public:
  virtual ~Tool() = default;
  virtual std::string name() const = 0;
};

class LanguageModelSession {
 public:
  class GenerationError : public std::exception {
   public:
    // Numbered for good: the numbers cross process and language boundaries.
    enum class Case {
      exceededContextWindowSize = 1,
      assetsUnavailable = 2,
      guardrailViolation = 3,
      unsupportedGuide = 4,
      unsupportedLanguageOrLocale = 5,
      decodingFailure = 6,
      rateLimited = 7,
      concurrentRequests = 8,
      refusal = 9,
      unsupportedToolCall = 10,  // cases the sidecar does not tell apart
      timedOut = 11,
      unrecognized = 12,         // a case this layer does not know by name
    };
    struct Context {
      std::string debugDescription;
    };
    GenerationError(Case kind, Context context) : kind_(kind), context_(std::move(context)) {}
    Case kind() const { return kind_; }
    const Context& context() const { return context_; }
    const char* what() const noexcept override { return context_.debugDescription.c_str(); }

   private:
    Case kind_;
    Context context_;
  };

  template <typename Content>
  struct Response {
    Content content;
  };

  LanguageModelSession(SystemLanguageModel model, std::vector<std::shared_ptr<Tool>> tools,
                       std::optional<std::string> instructions);
  // A session whose transcript holds the instructions and then `history`, oldest first.
  LanguageModelSession(SystemLanguageModel model, std::vector<std::shared_ptr<Tool>> tools,
                       std::optional<std::string> instructions, std::vector<Turn> history);

  // Plain text; the content is well-formed UTF-8.
  Response<std::string> respond(std::string_view prompt, const GenerationOptions& options);

  // Structured output conforming to `schema`.
  Response<GeneratedContent> respond(std::string_view prompt, const GenerationSchema& schema,
                                     bool includeSchemaInPrompt, const GenerationOptions& options);

  // The same calls, handing `sink` each snapshot (well-formed UTF-8) of the answer so far.
  // Throws GenerationStopped once `sink` returns false.
  Response<std::string> streamResponse(std::string_view prompt, const GenerationOptions& options,
                                       const SnapshotSink& sink);
  Response<GeneratedContent> streamResponse(std::string_view prompt, const GenerationSchema& schema,
                                            bool includeSchemaInPrompt, const GenerationOptions& options,
                                            const SnapshotSink& sink);

  const SystemLanguageModel& model() const { return model_; }
  const std::vector<std::shared_ptr<Tool>>& tools() const { return tools_; }
  const std::optional<std::string>& instructions() const { return instructions_; }
  const std::vector<Turn>& history() const { return history_; }

 private:
  SystemLanguageModel model_;
  std::vector<std::shared_ptr<Tool>> tools_;
  std::optional<std::string> instructions_;
  std::vector<Turn> history_;
};

}  // namespace TarnwickApple::FoundationModels
