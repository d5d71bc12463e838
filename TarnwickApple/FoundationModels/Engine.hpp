// The seam under the framework layer: one engine answers availability, a plain respond and a
// structured respond. The build picks the default engine; tests pass their own.
#pragma once

#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "TarnwickApple/FoundationModels/GenerationOptions.hpp"
#include "TarnwickApple/FoundationModels/GenerationSchema.hpp"
#include "TarnwickApple/FoundationModels/SystemLanguageModel.hpp"

namespace TarnwickApple::FoundationModels {

// An earlier turn of the conversation, as the session's transcript holds it: a prompt the user
// gave, or a response the model gave.
struct Turn {
  enum class Role { user, assistant };
  Role role = Role::user;
  std::string text;
  friend bool operator==(const Turn&, const Turn&) = default;
};

// What a session hands its engine besides the prompt.
struct SessionSettings {
  SystemLanguageModel::UseCase useCase = SystemLanguageModel::UseCase::general;
  SystemLanguageModel::Guardrails guardrails = SystemLanguageModel::Guardrails::defaultGuardrails;
  std::optional<std::string> instructions;
  std::vector<Turn> history;  // oldest first; empty for a new conversation
};

// Receives each snapshot of a streamed answer: the whole answer so far, never a piece of it.
// Returns false to ask the engine to stop generating.
using SnapshotSink = std::function<bool(std::string_view snapshot)>;

// Thrown by a streaming call whose sink asked it to stop (the framework's task was cancelled).
class GenerationStopped : public std::exception {
 public:
  const char* what() const noexcept override { return "the generation was stopped by its caller"; }
};

// Every operation blocks its caller until it has an answer, and is called from one thread at a
// time. Text that goes in is well-formed UTF-8. Text that comes back may be ill-formed; the
// session above repairs it, so an engine passes on what it was given.
class Engine {
 public:
  virtual ~Engine() = default;

  // The default model's availability, read once. Should not throw; anything thrown is taken
  // for "not usable, reason unknown" by the probe and for `unknown` by a request.
  virtual SystemLanguageModel::Availability availability() = 0;

  // One plain-text generation with these settings and options. Returns the text.
  // Throws LanguageModelSession::GenerationError with the case that ended the generation. Any
  // other exception (std::bad_alloc included) is taken for a failure outside the framework.
  virtual std::string respond(const SessionSettings& session, std::string_view prompt,
                              const GenerationOptions& options) = 0;

  // One structured generation: compact JSON text of a value that `schema` describes
  // (`GeneratedContent.jsonString`). `schema` is assembled already; an engine that cannot build
  // it on its side throws GenerationSchema::SchemaError. Otherwise throws as the plain respond.
  virtual std::string respond(const SessionSettings& session, std::string_view prompt,
                              const GenerationSchema& schema, bool includeSchemaInPrompt,
                              const GenerationOptions& options) = 0;

  // The same generations, handing `sink` snapshots of the answer as it grows; the return value
  // and failures are the blocking calls'. Throws GenerationStopped once `sink` returns false.
  // An engine that cannot stream gives no snapshots and answers as the blocking call does.
  virtual std::string streamResponse(const SessionSettings& session, std::string_view prompt,
                                     const GenerationOptions& options, const SnapshotSink& sink) {
    (void)sink;
    return respond(session, prompt, options);
  }
  virtual std::string streamResponse(const SessionSettings& session, std::string_view prompt,
                                     const GenerationSchema& schema, bool includeSchemaInPrompt,
                                     const GenerationOptions& options, const SnapshotSink& sink) {
    (void)sink;
    return respond(session, prompt, schema, includeSchemaInPrompt, options);
  }
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
  std::string streamResponse(const SessionSettings& session, std::string_view prompt,
                             const GenerationOptions& options, const SnapshotSink& sink) override {
    return target_.streamResponse(session, prompt, options, sink);
  }
  std::string streamResponse(const SessionSettings& session, std::string_view prompt,
                             const GenerationSchema& schema, bool includeSchemaInPrompt,
                             const GenerationOptions& options, const SnapshotSink& sink) override {
    return target_.streamResponse(session, prompt, schema, includeSchemaInPrompt, options, sink);
  }

 private:
  Engine& target_;
};

// The engine this build runs on, chosen by the build (reference or framework). Only the
// executables call it; everything else takes an engine as an argument.
Engine& defaultEngine();

}  // namespace TarnwickApple::FoundationModels
