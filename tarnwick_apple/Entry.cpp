// The sidecar executable: the arguments (--probe, --help, --version), stdin read whole, one line
// written (or partial lines before it when the request streams), the exit status.
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "TarnwickApple/Protocol/CommandLine.hpp"
#include "TarnwickApple/FoundationModels/Engine.hpp"
#include "TarnwickApple/Sidecar.hpp"
#include "TarnwickApple/Errors/SidecarError.hpp"
#include "TarnwickApple/Protocol/StandardStreams.hpp"
#include "TarnwickApple/Protocol/Wire.hpp"

// The build names the project version and its engine, for --version.
#if !defined(TARNWICK_VERSION) || !defined(TARNWICK_ENGINE_NAME)
#error "the build sets TARNWICK_VERSION and TARNWICK_ENGINE_NAME"
#endif

namespace {

using namespace TarnwickApple;
namespace Streams = StandardStreams;

constexpr std::string_view usage =
    "Usage: tarnwick_apple < request.json\n"
    "       tarnwick_apple --probe\n"
    "       tarnwick_apple --help | --version\n"
    "\n"
    "Reads one JSON request on standard input to its end and writes one JSON reply line\n"
    "({\"status\":\"ok\",\"text\":...} or {\"status\":\"error\",\"kind\":...,\"message\":...}).\n"
    "With \"stream\":true, partial lines {\"status\":\"partial\",\"text\":...} come first, each holding\n"
    "the whole answer so far; the last line is the same reply line.\n"
    "\n"
    "  --probe     write one line saying whether the on-device model is usable; stdin is not read\n"
    "  -h, --help  show this text\n"
    "  --version   show the version and the engine\n"
    "Other arguments are ignored.\n"
    "\n"
    "Exit status: 0 a reply line was written, whether it reports success or an error, or the\n"
    "probe found the model usable; 1 the probe found it unusable; 3 standard output could not\n"
    "be written.\n"
    "\n"
    "Request members: prompt, use_case (general|content_tagging), guardrails\n"
    "(default|permissive_content_transformations), and optionally instructions, schema,\n"
    "options {temperature, maximum_response_tokens, sampling {mode, top, probability_threshold, seed}},\n"
    "history [{role (user|assistant), text}, ...] (earlier turns, oldest first) and stream (boolean).\n"
    "See tarnwick_apple(1).\n";

int probeRun() {
  const Probe probe = Sidecar::probe(FoundationModels::defaultEngine());
  if (!Streams::writeAll(probe.line())) return Streams::unwritableStatus;
  return probe.available ? 0 : 1;
}

// A streamed request: partial lines as they come, then the reply line.
int streamRun(Request&& request) {
  try {
    return Sidecar::stream(std::move(request), FoundationModels::defaultEngine(), Streams::writeAll) ? 0 : Streams::unwritableStatus;
  } catch (...) {
    return Streams::brokenInvariantStatus;
  }
}

int requestRun() {
  std::string line;
  try {
    Reply reply;
    {
      std::optional<Request> request;
      try {
        request = Request::decodeReleasing(Streams::readAll());  // the input is released as it is decoded
      } catch (...) {
        reply = Reply::failure(SidecarError::resolve(std::current_exception()));
      }
      if (request && request->stream) return streamRun(std::move(*request));
      if (request) reply = Sidecar::generate(std::move(*request), FoundationModels::defaultEngine());
    }  // the request is released once the reply is there
    line = reply.line();
  } catch (...) {
    line = Reply::failure(SidecarError::resolve(std::current_exception())).line();
  }
  return Streams::writeAll(line) ? 0 : Streams::unwritableStatus;
}

}  // namespace

int main(int argc, char** argv) {
  // A closed stdout must end the run with a status, not a signal; nothing reaches stderr.
  Streams::prepareProcess();
  switch (CommandLine::action(argc, argv, /*probeKnown=*/true)) {
    case CommandLine::Action::probe:
      return probeRun();
    case CommandLine::Action::help:
      return CommandLine::answer(usage);
    case CommandLine::Action::version:
      return CommandLine::answer(CommandLine::versionLine("tarnwick_apple", TARNWICK_VERSION, TARNWICK_ENGINE_NAME));
    case CommandLine::Action::run:
      return requestRun();
  }
  return requestRun();
}
