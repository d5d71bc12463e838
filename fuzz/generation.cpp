// Fuzz target: the reference engine's structured generation on every document that translates.
// The answer conforms to the schema, is the same for the same sampling, and fails only as the
// engine may.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Check.hpp"
#include "TarnwickApple/FoundationModels/GenerationSchema.hpp"
#include "TarnwickApple/FoundationModels/LanguageModelSession.hpp"
#include "TarnwickApple/Engines/Reference/ReferenceEngine.hpp"
#include "TarnwickApple/JSON/JSONValue.hpp"
#include "TarnwickApple/Schema/SchemaTranslator.hpp"
#include "support/Conformance.hpp"

namespace {

using namespace TarnwickApple;
using namespace TarnwickApple::FoundationModels;
using namespace TarnwickApple::Engines;
using GenerationError = LanguageModelSession::GenerationError;

// FNV-1a: a stable choice of sampling per input, so a saved finding replays the same run.
std::uint64_t fingerprint(std::string_view bytes) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return hash;
}

std::optional<std::string> generate(ReferenceEngine& engine, const GenerationSchema& schema,
                                    const GenerationOptions& options) {
  try {
    return engine.respond(SessionSettings{}, "", schema, true, options);
  } catch (const GenerationError& error) {
    // The engine's refusals: an answer that cannot end or fit, or a cut-off or unsatisfiable one.
    Fuzz::require(error.kind() == GenerationError::Case::exceededContextWindowSize ||
                      error.kind() == GenerationError::Case::decodingFailure,
                  "generation fails only for the window or decoding", schema.description());
  } catch (...) {
    Fuzz::fail("generation throws only GenerationError", schema.description());
  }
  return std::nullopt;
}

void checkAnswer(ReferenceEngine& engine, const GenerationSchema& schema, const GenerationOptions& options) {
  const std::optional<std::string> answer = generate(engine, schema, options);
  if (!answer) return;
  const std::string problem = Conformance::problem(*answer, schema);
  Fuzz::require(problem.empty(), "the answer conforms to the schema", problem + " in " + *answer + " for " + schema.description());
  Fuzz::require(generate(engine, schema, options) == answer, "the same sampling gives the same answer", *answer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static ReferenceEngine engine;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::optional<GenerationSchema> schema;
  try {
    schema.emplace(SchemaTranslator::generationSchema(JSONValue::decode(bytes)));
  } catch (...) {
    return 0;  // unreadable or refused: the schema target checks those paths
  }
  const std::uint64_t hash = fingerprint(bytes);
  GenerationOptions greedy;
  checkAnswer(engine, *schema, greedy);
  GenerationOptions random;
  random.sampling = hash % 2 ? SamplingMode::random(1.0, hash) : SamplingMode::random(1 + static_cast<std::int64_t>(hash % 5), hash);
  if (hash % 3 == 0) random.maximumResponseTokens = static_cast<std::int64_t>(hash % 97);
  checkAnswer(engine, *schema, random);
  return 0;
}
