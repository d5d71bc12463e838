// The session driver: availability, options, and one plain or structured generation.
#include "TarnwickApple/Sidecar.hpp"

#include "TarnwickApple/FoundationModels/LanguageModelSession.hpp"
#include "TarnwickApple/FoundationModels/SystemLanguageModel.hpp"
#include "TarnwickApple/Protocol/RequestOptions.hpp"
#include "TarnwickApple/Schema/SchemaTranslator.hpp"

namespace TarnwickApple::Sidecar {
namespace FM = FoundationModels;
namespace {

using Reason = FM::SystemLanguageModel::Availability::UnavailableReason;

FM::SystemLanguageModel::UseCase frameworkUseCase(UseCase value) {
  switch (value) {
    case UseCase::general: return FM::SystemLanguageModel::UseCase::general;
    case UseCase::contentTagging: return FM::SystemLanguageModel::UseCase::contentTagging;
  }
  return FM::SystemLanguageModel::UseCase::general;
}

FM::SystemLanguageModel::Guardrails frameworkGuardrails(Guardrails value) {
  switch (value) {
    case Guardrails::defaultGuardrails: return FM::SystemLanguageModel::Guardrails::defaultGuardrails;
    case Guardrails::permissiveContentTransformations:
      return FM::SystemLanguageModel::Guardrails::permissiveContentTransformations;
  }
  return FM::SystemLanguageModel::Guardrails::defaultGuardrails;
}

FM::Turn::Role frameworkRole(Turn::Role value) {
  switch (value) {
    case Turn::Role::user: return FM::Turn::Role::user;
    case Turn::Role::assistant: return FM::Turn::Role::assistant;
  }
  return FM::Turn::Role::user;
}

// The session for a request: its model, instructions and earlier turns.
FM::LanguageModelSession session(const Request& request, FM::Engine& engine) {
  const FM::SystemLanguageModel model(frameworkUseCase(request.useCase), frameworkGuardrails(request.guardrails), engine);
  if (request.history.empty()) return FM::LanguageModelSession(model, {}, request.instructions);
  std::vector<FM::Turn> history;
  history.reserve(request.history.size());
  for (const Turn& turn : request.history) history.push_back(FM::Turn{frameworkRole(turn.role), turn.text});
  return FM::LanguageModelSession(model, {}, request.instructions, std::move(history));
}

// The reply text, through the blocking calls or the streaming ones when `sink` is given.
std::string answer(Request& request, FM::Engine& engine, const FM::SnapshotSink* sink) {
  available(engine);
  FM::LanguageModelSession conversation = session(request, engine);
  const FM::GenerationOptions options = generationOptions(request.options);
  if (!request.schema) {
    if (sink == nullptr) return std::move(conversation.respond(request.prompt, options).content);
    return std::move(conversation.streamResponse(request.prompt, options, *sink).content);
  }
  const FM::GenerationSchema schema = SchemaTranslator::generationSchema(*request.schema);
  // The tree is done with once translated: let go of before generation and its documents.
  request.schema.reset();
  if (sink == nullptr) return conversation.respond(request.prompt, schema, true, options).content.jsonString();
  return conversation.streamResponse(request.prompt, schema, true, options, *sink).content.jsonString();
}

}  // namespace

Probe probe(FM::Engine& engine) {
  Probe result;
  try {
    const auto availability = FM::SystemLanguageModel::defaultModel(engine).availability();
    result.available = availability.isAvailable();
    if (availability.unavailableReason) {
      switch (*availability.unavailableReason) {
        case Reason::deviceNotEligible: result.reason = std::string(ProbeReason::deviceNotEligible); break;
        case Reason::appleIntelligenceNotEnabled: result.reason = std::string(ProbeReason::appleIntelligenceNotEnabled); break;
        case Reason::modelNotReady: result.reason = std::string(ProbeReason::modelNotReady); break;
        case Reason::unrecognized: result.reason = std::string(ProbeReason::unknown); break;
      }
    }
  } catch (...) {
    // An engine that cannot even say whether it is there is not usable.
    result.available = false;
    result.reason = std::string(ProbeReason::unknown);
  }
  return result;
}

void available(FM::Engine& engine) {
  const auto availability = FM::SystemLanguageModel::defaultModel(engine).availability();
  if (!availability.unavailableReason) return;
  switch (*availability.unavailableReason) {
    case Reason::deviceNotEligible: throw SidecarError::deviceNotEligible;
    case Reason::appleIntelligenceNotEnabled: throw SidecarError::appleIntelligenceNotEnabled;
    case Reason::modelNotReady: throw SidecarError::modelNotReady;
    case Reason::unrecognized: throw SidecarError::assetsUnavailable;
  }
  throw SidecarError::assetsUnavailable;
}

std::string respond(Request request, FM::Engine& engine) { return answer(request, engine, nullptr); }

Reply generate(Request request, FM::Engine& engine) {
  try {
    return Reply::ok(answer(request, engine, nullptr));
  } catch (...) {
    return Reply::failure(SidecarError::resolve(std::current_exception()));
  }
}

bool stream(Request request, FM::Engine& engine, const LineWriter& write) {
  // Once a line fails to go out, nothing more is written and the engine is told to stop.
  bool writable = true;
  const FM::SnapshotSink sink = [&](std::string_view snapshot) {
    if (writable) writable = write(partialLine(snapshot));
    return writable;
  };
  std::string line;
  try {
    line = Reply::ok(answer(request, engine, &sink)).line();
  } catch (const FM::GenerationStopped&) {
    return false;
  } catch (...) {
    line = Reply::failure(SidecarError::resolve(std::current_exception())).line();
  }
  return writable && write(line);
}

}  // namespace TarnwickApple::Sidecar
