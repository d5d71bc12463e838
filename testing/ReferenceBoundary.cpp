// Reading a boundary request document, generating through an engine, and writing the answer.
#include "testing/ReferenceBoundary.hpp"

#include <exception>
#include <optional>

#include "TarnwickApple/Engines/Framework/FrameworkBoundary.h"
#include "testing/SchemaDescription.hpp"
#include "TarnwickApple/Engines/Framework/BoundaryDocuments.hpp"
#include "TarnwickApple/Engines/Reference/ReferenceEngine.hpp"
#include "TarnwickApple/JSON/JSONValue.hpp"

namespace TarnwickApple::Engines {
namespace {

namespace FM = FoundationModels;

// The request document is not one this side reads.
struct UnreadableRequest {};

const JSONValue& required(const JSONValue& object, std::string_view key) {
  const JSONValue* value = object[key];
  if (value == nullptr) throw UnreadableRequest{};
  return *value;
}

std::string text(const JSONValue& value) {
  const auto content = value.stringValue();
  if (!content) throw UnreadableRequest{};
  return std::string(*content);
}

FM::SamplingMode sampling(const JSONValue& value) {
  const std::string& mode = text(required(value, "mode"));
  if (mode == "greedy") return FM::SamplingMode::greedy();
  std::optional<std::uint64_t> seed;
  if (const JSONValue* given = value["seed"]) {
    seed = given->unsignedValue();
    if (!seed) throw UnreadableRequest{};
  }
  if (mode == "random_top") {
    const auto top = required(value, "top").integerValue();
    if (!top) throw UnreadableRequest{};
    return FM::SamplingMode::random(*top, seed);
  }
  if (mode == "random_probability_threshold") {
    const auto threshold = required(value, "probability_threshold").doubleValue();
    if (!threshold) throw UnreadableRequest{};
    return FM::SamplingMode::random(*threshold, seed);
  }
  throw UnreadableRequest{};
}

FM::GenerationOptions options(const JSONValue& value) {
  if (value.objectValue() == nullptr) throw UnreadableRequest{};
  FM::GenerationOptions result;
  if (const JSONValue* mode = value["sampling"]) result.sampling = sampling(*mode);
  if (const JSONValue* temperature = value["temperature"]) {
    result.temperature = temperature->doubleValue();
    if (!result.temperature) throw UnreadableRequest{};
  }
  if (const JSONValue* limit = value["maximum_response_tokens"]) {
    result.maximumResponseTokens = limit->integerValue();
    if (!result.maximumResponseTokens) throw UnreadableRequest{};
  }
  return result;
}

FM::SessionSettings settings(const JSONValue& request) {
  FM::SessionSettings result;
  const auto useCase = Boundary::useCaseNamed(text(required(request, "use_case")));
  const auto guardrails = Boundary::guardrailsNamed(text(required(request, "guardrails")));
  if (!useCase || !guardrails) throw UnreadableRequest{};
  result.useCase = *useCase;
  result.guardrails = *guardrails;
  if (const JSONValue* instructions = request["instructions"]) result.instructions = text(*instructions);
  if (const JSONValue* history = request["history"]) {
    const auto turns = history->arrayValue();
    if (!turns) throw UnreadableRequest{};
    for (const JSONValue& turn : *turns) {
      const std::string& role = text(required(turn, "role"));
      if (role != "user" && role != "assistant") throw UnreadableRequest{};
      result.history.push_back(
          FM::Turn{role == "user" ? FM::Turn::Role::user : FM::Turn::Role::assistant, text(required(turn, "text"))});
    }
  }
  return result;
}

std::string answer(std::string_view document, FM::Engine& engine, const FM::SnapshotSink* sink) {
  const JSONValue request = JSONValue::decode(document);
  if (required(request, "version").integerValue() != Boundary::documentVersion) throw UnreadableRequest{};
  const FM::SessionSettings session = settings(request);
  const std::string& prompt = text(required(request, "prompt"));
  const FM::GenerationOptions generation = options(required(request, "options"));
  const JSONValue* description = request["schema"];
  if (description == nullptr) {
    if (sink != nullptr) return Boundary::textAnswer(engine.streamResponse(session, prompt, generation, *sink));
    return Boundary::textAnswer(engine.respond(session, prompt, generation));
  }
  const auto include = required(request, "include_schema_in_prompt").boolValue();
  if (!include) throw UnreadableRequest{};
  const FM::GenerationSchema schema = schemaFromDescription(*description);
  if (sink != nullptr) {
    return Boundary::textAnswer(engine.streamResponse(session, prompt, schema, *include, generation, *sink));
  }
  return Boundary::textAnswer(engine.respond(session, prompt, schema, *include, generation));
}

std::string answerDocument(std::string_view request, FM::Engine& engine, const FM::SnapshotSink* sink) {
  try {
    try {
      return answer(request, engine, sink);
    } catch (const FM::LanguageModelSession::GenerationError& error) {
      return Boundary::failureAnswer(Boundary::failureOf(error.kind()));
    } catch (const FM::GenerationSchema::SchemaError&) {
      return Boundary::failureAnswer(tarnwick_fm_failure_schema);
    } catch (const UnreadableRequest&) {
      return Boundary::failureAnswer(tarnwick_fm_failure_other);
    } catch (const DescriptionError&) {
      return Boundary::failureAnswer(tarnwick_fm_failure_other);
    } catch (const JSONValue::DecodeError&) {
      return Boundary::failureAnswer(tarnwick_fm_failure_other);
    } catch (...) {
      // A stopped generation lands here too: its caller reads nothing of the answer.
      return Boundary::failureAnswer(tarnwick_fm_failure_unknown);
    }
  } catch (...) {
    // Not even a failure answer could be written (out of memory): the caller sees no answer.
    return std::string();
  }
}

}  // namespace

std::string answerRequestDocument(std::string_view request, FM::Engine& engine) {
  return answerDocument(request, engine, nullptr);
}

std::string answerRequestDocument(std::string_view request) {
  static ReferenceEngine engine;
  return answerRequestDocument(request, engine);
}

std::string answerStreamedRequestDocument(std::string_view request, const FM::SnapshotSink& sink) {
  static ReferenceEngine engine;
  return answerDocument(request, engine, &sink);
}

std::int32_t referenceAvailability() { return TARNWICK_FM_AVAILABLE; }

}  // namespace TarnwickApple::Engines
