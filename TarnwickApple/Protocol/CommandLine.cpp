// Reads the argument list for the options every executable shares; see CommandLine.hpp.
#include "TarnwickApple/Protocol/CommandLine.hpp"

#include <string_view>

#include "TarnwickApple/Protocol/StandardStreams.hpp"

namespace TarnwickApple::CommandLine {

Action action(int argc, const char* const* argv, bool probeKnown) {
  Action first = Action::run;
  for (int i = 0; i < argc; ++i) {
    if (argv[i] == nullptr) continue;
    const std::string_view argument = argv[i];
    if (probeKnown && argument == "--probe") return Action::probe;
    if (first != Action::run || i == 0) continue;  // the program name is never an option
    if (argument == "--help" || argument == "-h") {
      first = Action::help;
    } else if (argument == "--version") {
      first = Action::version;
    }
  }
  return first;
}

std::string versionLine(std::string_view program, std::string_view version, std::string_view engine) {
  std::string line;
  line.append(program).append(" ").append(version).append(" (engine: ").append(engine).append(")\n");
  return line;
}

int answer(std::string_view text) {
  return StandardStreams::writeAll(text) ? 0 : StandardStreams::unwritableStatus;
}

}  // namespace TarnwickApple::CommandLine
