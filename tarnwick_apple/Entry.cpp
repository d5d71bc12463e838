// The sidecar executable: the argument test, stdin read whole, one line written, the exit status.
#include <cstring>
#include <exception>
#include <optional>
#include <string>

#include "TarnwickApple/FoundationModels/Engine.hpp"
#include "TarnwickApple/Sidecar.hpp"
#include "TarnwickApple/SidecarError.hpp"
#include "TarnwickApple/StandardStreams.hpp"
#include "TarnwickApple/Wire.hpp"

namespace {

using namespace TarnwickApple;
namespace Streams = StandardStreams;

int probeRun() {
  const Probe probe = Sidecar::probe(FoundationModels::defaultEngine());
  if (!Streams::writeAll(probe.line())) return Streams::unwritableStatus;
  return probe.available ? 0 : 1;
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
        reply = SidecarError::resolve(std::current_exception()).reply();
      }
      if (request) reply = Sidecar::generate(*request, FoundationModels::defaultEngine());
    }  // the request is released once the reply is there
    line = reply.line();
  } catch (...) {
    line = SidecarError::resolve(std::current_exception()).reply().line();
  }
  return Streams::writeAll(line) ? 0 : Streams::unwritableStatus;
}

}  // namespace

int main(int argc, char** argv) {
  // A closed stdout must end the run with a status, not a signal; nothing reaches stderr.
  Streams::prepareProcess();
  for (int i = 0; i < argc; ++i) {
    if (argv[i] != nullptr && std::strcmp(argv[i], "--probe") == 0) return probeRun();
  }
  return requestRun();
}
