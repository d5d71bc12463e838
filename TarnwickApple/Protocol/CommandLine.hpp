// The two executables' answer to `--help` and `--version`: which of them a run asks for, decided
// before anything is read, and the version line both print.
#pragma once

#include <string>
#include <string_view>

namespace TarnwickApple::CommandLine {

enum class Action {
  run,      // the executable's ordinary work; other arguments keep their meaning
  probe,    // `--probe` anywhere (sidecar only); it wins over the two below
  help,     // `--help` or `-h`
  version,  // `--version`
};

// The action the argument list asks for. `--probe` is looked for only when `probeKnown`; otherwise
// the first of `--help`, `-h` and `--version` decides. Arguments are compared whole and exactly.
Action action(int argc, const char* const* argv, bool probeKnown);

// "<program> <version> (engine: <engine>)" and a line feed.
std::string versionLine(std::string_view program, std::string_view version, std::string_view engine);

// Writes `text` whole to stdout: 0 when written, StandardStreams::unwritableStatus when not.
int answer(std::string_view text);

}  // namespace TarnwickApple::CommandLine
