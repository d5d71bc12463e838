// The schema checker: reads one JSON Schema on stdin and prints what it becomes as a generation
// schema, or the failure line the sidecar would answer with.
#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "TarnwickApple/JSONValue.hpp"
#include "TarnwickApple/SchemaTranslator.hpp"
#include "TarnwickApple/SidecarError.hpp"
#include "TarnwickApple/StandardStreams.hpp"
#include "TarnwickApple/Wire.hpp"

namespace {

using namespace TarnwickApple;

constexpr int acceptedStatus = 0;
constexpr int refusedStatus = 1;
constexpr int notJSONStatus = 2;

const std::string_view notJSONLine =
    "{\"status\":\"error\",\"kind\":\"FoundationModelsError\",\"message\":\"the schema on stdin is not JSON\"}\n";

struct Outcome {
  std::string line;
  int status;
};

Outcome refused(std::exception_ptr failure) {
  return {SidecarError::resolve(std::move(failure)).reply().line(), refusedStatus};
}

Outcome check() {
  std::optional<JSONValue> document;
  try {
    document = JSONValue::decodeReleasing(StandardStreams::readAll());
  } catch (const JSONValue::DecodeError&) {
    return {std::string(notJSONLine), notJSONStatus};
  } catch (...) {
    return refused(std::current_exception());
  }
  try {
    const FoundationModels::GenerationSchema schema = SchemaTranslator::generationSchema(*document);
    std::string line = "{\"status\":\"ok\",\"schema\":";
    schema.appendDescription(line);
    line += "}\n";
    return {std::move(line), acceptedStatus};
  } catch (...) {
    return refused(std::current_exception());
  }
}

}  // namespace

int main() {
  // A closed stdout must end the run with a status, not a signal; nothing reaches stderr.
  StandardStreams::prepareProcess();
  const Outcome outcome = check();
  return StandardStreams::writeAll(outcome.line) ? outcome.status : StandardStreams::unwritableStatus;
}
