// The schema checker: reads one JSON Schema on stdin and prints what it becomes as a generation
// schema, or the failure line the sidecar would answer with. Asked to explain, it also says what
// the model will not enforce, or where and why the schema is refused; asked to check a request,
// it reads a whole request document as the sidecar does.
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "TarnwickApple/Protocol/CommandLine.hpp"
#include "TarnwickApple/JSON/JSONValue.hpp"
#include "TarnwickApple/Schema/SchemaExplanation.hpp"
#include "TarnwickApple/Schema/SchemaTranslator.hpp"
#include "TarnwickApple/Protocol/RequestOptions.hpp"
#include "TarnwickApple/Errors/SidecarError.hpp"
#include "TarnwickApple/Protocol/StandardStreams.hpp"
#include "TarnwickApple/Protocol/Wire.hpp"

// The build names the project version and the engine the sidecar is built with, for --version.
#if !defined(TARNWICK_VERSION) || !defined(TARNWICK_ENGINE_NAME)
#error "the build sets TARNWICK_VERSION and TARNWICK_ENGINE_NAME"
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
    "  --request      read a whole request document instead and check it, its options and\n"
    "                 schema included\n"
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

constexpr std::string_view notJSONMessage = "the schema on stdin is not JSON";
constexpr std::string_view usageMessage = "--format takes json or text";
constexpr std::string_view conflictingSamplingReason =
    "\"top\" and \"probability_threshold\" are both set: keep one of them";

struct Settings {
  bool explain = false;  // notes, or the place and reason of a refusal
  bool request = false;  // stdin is a whole request document
  bool text = false;     // lines for people instead of one JSON line
};

// The options, or nothing when --format is not followed by json or text.
std::optional<Settings> settings(const std::vector<std::string_view>& arguments) {
  Settings result;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (argument == "--explain") {
      result.explain = true;
    } else if (argument == "--request") {
      result.request = true;
    } else if (argument == "--format") {
      if (i + 1 == arguments.size() || (arguments[i + 1] != "json" && arguments[i + 1] != "text")) return std::nullopt;
      result.text = arguments[++i] == "text";
    }
    // Any other argument is ignored, as the sidecar ignores every argument but its own.
  }
  // A request is always explained, and so is anything shown to people.
  result.explain = result.explain || result.request || result.text;
  return result;
}

struct Outcome {
  CheckLine line;
  int status;
};

Outcome refused(const SidecarError& error) { return {CheckLine::refused(Reply::failure(error)), refusedStatus}; }

Outcome notJSON(std::optional<std::string> reason) {
  CheckLine line = CheckLine::refused(Reply::failure(ErrorKind::foundationModels, notJSONMessage));
  line.reason = std::move(reason);
  return {std::move(line), notJSONStatus};
}

// Today's plain check: the document read in pieces, translated without a recorder.
Outcome plainCheck(std::vector<std::string>&& input) {
  std::optional<JSONValue> document;
  try {
    document = JSONValue::decodeReleasing(std::move(input));
  } catch (const JSONValue::DecodeError&) {
    return notJSON(std::nullopt);
  } catch (...) {
    return refused(SidecarError::resolve(std::current_exception()));
  }
  try {
    std::optional<FoundationModels::GenerationSchema> schema(SchemaTranslator::generationSchema(*document));
    // The tree is done with once translated: released before the description takes its place,
    // and the schema released once described, so the three are never held at once.
    document.reset();
    std::string description = schema->description();
    schema.reset();
    return {CheckLine::accepted(std::move(description)), acceptedStatus};
  } catch (...) {
    return refused(SidecarError::resolve(std::current_exception()));
  }
}

bool looksLikeRequest(const JSONValue& document) {
  const JSONObject* members = document.objectValue();
  return members && members->find("prompt") && (members->find("use_case") || members->find("guardrails"));
}

bool looksLikeSchema(const JSONValue& document) {
  const JSONObject* members = document.objectValue();
  if (!members || members->find("prompt")) return false;
  for (std::string_view key : {"$schema", "type", "properties", "$defs", "definitions", "$ref", "anyOf", "oneOf",
                               "enum", "items", "const"}) {
    if (members->find(key)) return true;
  }
  return false;
}

// The tree is let go of once translated, before the description takes its place: the notes
// hold copies of what they quote.
Outcome explainedSchema(std::optional<JSONValue>& schema, bool isWholeDocument) {
  const bool isRequest = isWholeDocument && looksLikeRequest(*schema);
  SchemaTranslator::Explained explained = SchemaTranslator::explained(*schema);
  schema.reset();
  if (explained.schema) {
    CheckLine line = CheckLine::accepted(explained.schema->description());
    line.notes = std::move(explained.notes);
    // Any object is a schema that accepts any value, a request document too: say what it is.
    if (isRequest) {
      line.notes->pushFront(SchemaNote{"", "prompt", "not-a-schema",
                                       "this is a request document, not a schema: check it with --request"});
    }
    return {std::move(line), acceptedStatus};
  }
  Outcome outcome = refused(*explained.error);
  outcome.line.pointer = std::move(explained.pointer);
  outcome.line.reason = std::move(explained.reason);
  if (isRequest) {
    outcome.line.pointer = "";
    outcome.line.reason = "this is a request document, not a schema: check it with --request";
  }
  return outcome;
}

std::string joined(std::vector<std::string>&& pieces) {
  std::string text;
  for (std::string& piece : pieces) text += piece;
  return text;
}

Outcome explainedCheck(std::vector<std::string>&& input) {
  try {
    // Read as the plain check reads, so the text is not held beside the tree and the notes.
    std::optional<JSONValue> document(JSONValue::decodeReleasing(std::move(input)));
    return explainedSchema(document, true);
  } catch (const JSONValue::DecodeError& error) {
    return notJSON("not JSON at byte " + std::to_string(error.offset()) + ": " + error.reason());
  } catch (...) {
    return refused(SidecarError::resolve(std::current_exception()));
  }
}

// The sidecar's refusal of options that decode but cannot run, or nothing. The options are
// judged by the sidecar's own reading, which runs before the schema is translated.
std::optional<Outcome> refusedOptions(const Request& request) {
  try {
    (void)generationOptions(request.options);
    return std::nullopt;
  } catch (...) {
    const SidecarError error = SidecarError::resolve(std::current_exception());
    Outcome outcome = refused(error);
    const bool sampling = error == SidecarError::conflictingSampling;
    outcome.line.pointer = sampling ? "/options/sampling" : "/options";
    outcome.line.reason = std::string(sampling ? conflictingSamplingReason : error.message());
    return outcome;
  }
}

Outcome requestCheck(std::vector<std::string>&& input) {
  const std::string text = joined(std::move(input));
  try {
    Request request = Request::decodeExplaining(text);
    if (std::optional<Outcome> outcome = refusedOptions(request)) return std::move(*outcome);
    if (request.schema) return explainedSchema(request.schema, false);
    CheckLine line = CheckLine::accepted("null");
    line.notes.emplace();
    return {std::move(line), acceptedStatus};
  } catch (const Request::Problem& problem) {
    CheckLine line = CheckLine::refused(Reply::failure(SidecarError::malformedRequest));
    line.pointer = problem.pointer();
    line.reason = problem.reason();
    if (!problem.pointer()) return {std::move(line), notJSONStatus};
    if (problem.pointer() == "/prompt" && looksLikeSchema(JSONValue::decode(text))) {
      line.pointer = "";
      line.reason = "this is a JSON Schema, not a request: check it without --request";
    }
    return {std::move(line), refusedStatus};
  } catch (...) {
    return refused(SidecarError::resolve(std::current_exception()));
  }
}

Outcome check(const Settings& settings) {
  std::vector<std::string> input = StandardStreams::readAll();
  if (settings.request) return requestCheck(std::move(input));
  if (settings.explain) return explainedCheck(std::move(input));
  return plainCheck(std::move(input));
}

}  // namespace

int main(int argc, char** argv) {
  // A closed stdout must end the run with a status, not a signal; nothing reaches stderr.
  StandardStreams::prepareProcess();
  if (const std::optional<int> status = sharedOptions(argc, argv)) return *status;
  const std::optional<Settings> chosen = settings(std::vector<std::string_view>(argv + 1, argv + argc));
  const Outcome outcome = chosen ? check(*chosen)
                                 : Outcome{CheckLine::refused(Reply::failure(ErrorKind::foundationModels, usageMessage)),
                                           notJSONStatus};
  // Written in pieces: a line of a million notes is never held whole.
  const CheckLine::Sink sink = [](std::string_view piece) { return StandardStreams::writeAll(piece); };
  const bool written = chosen && chosen->text ? outcome.line.writeText(sink) : outcome.line.writeLine(sink);
  return written ? outcome.status : StandardStreams::unwritableStatus;
}
