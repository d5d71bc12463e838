// The process's standard streams as both executables use them: stdin read whole, one complete
// write to stdout, and a process set up so that neither a closed pipe nor the runtime prints.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace TarnwickApple::StandardStreams {

// Exit status when the line could not be written (stdout closed, full, or failing).
inline constexpr int unwritableStatus = 3;
// Exit status should the runtime ever give up; nothing is printed in that case either.
inline constexpr int brokenInvariantStatus = 70;

// SIGPIPE ignored (a closed stdout becomes a failed write) and a silent terminate handler.
void prepareProcess();

// All of stdin as raw bytes, waiting until the writer closes it, in the pieces it was read in
// (JSONValue::decodeReleasing frees each once read). An unreadable stdin (a directory, say)
// reads as what came before the failure.
std::vector<std::string> readAll();

// Writes all of `bytes` to stdout across partial writes, EINTR and a non-blocking descriptor.
bool writeAll(std::string_view bytes);

}  // namespace TarnwickApple::StandardStreams
