// The schema checker: reads one JSON Schema on stdin and prints what it becomes as a generation
// schema, or the failure line the sidecar would answer with.
#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "TarnwickApple/CommandLine.hpp"
#include "TarnwickApple/JSONValue.hpp"
#include "TarnwickApple/SchemaTranslator.hpp"
#include "TarnwickApple/SidecarError.hpp"
#include "TarnwickApple/StandardStreams.hpp"
#include "TarnwickApple/Wire.hpp"

#ifndef TARNWICK_VERSION
#error "the build sets TARNWICK_VERSION from the project version"
#endif
#ifndef TARNWICK_ENGINE_NAME
#define TARNWICK_ENGINE_NAME "reference"
#endif

namespace {

using namespace TarnwickApple;

constexpr std::string_view usage =
    "Usage: tarnwick_apple_schema [--explain] [--format text] < schema.json\n"
    "       tarnwick_apple_schema --request [--explain] [--format text] < request.json\n"
    "       tarnwick_apple_schema --help | --version\n"
    "\n"
    "Reads one JSON Schema on standard input and writes one line: {\"status\":\"ok\",\"schema\":...}\n"
    "with the generation schema the sidecar would ask the model for, or the error line the\n"
    "sidecar would answer with.\n"
    "\n"
    "  --explain      add notes on what the model will not enforce, each with the JSON Pointer\n"
    "                 of its place, and the place and reason of a refusal\n"
    "  --request      read a whole request document instead and check it, its schema included\n"
    "  --format text  write the notes one per line for people, pointer first\n"
    "  -h, --help     show this text\n"
    "  --version      show the version and the engine\n"
    "\n"
    "Exit status: 0 accepted; 1 refused (the line holds the sidecar's error); 2 the input is not\n"
    "JSON; 3 standard output could not be written.\n"
    "See tarnwick_apple_schema(1).\n";

// `--help` and `--version` are answered before anything is read; nothing else is decided here.
std::optional<int> sharedOptions(int argc, char** argv) {
  switch (CommandLine::action(argc, argv, /*probeKnown=*/false)) {
    case CommandLine::Action::help:
      return CommandLine::answer(usage);
    case CommandLine::Action::version:
      return CommandLine::answer(
          CommandLine::versionLine("tarnwick_apple_schema", TARNWICK_VERSION, TARNWICK_ENGINE_NAME));
    case CommandLine::Action::probe:
    case CommandLine::Action::run:
      return std::nullopt;
  }
  return std::nullopt;
}

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

int main(int argc, char** argv) {
  // A closed stdout must end the run with a status, not a signal; nothing reaches stderr.
  StandardStreams::prepareProcess();
  if (const std::optional<int> status = sharedOptions(argc, argv)) return *status;
  const Outcome outcome = check();
  return StandardStreams::writeAll(outcome.line) ? outcome.status : StandardStreams::unwritableStatus;
}
