// The sidecar executable: the argument test, stdin read whole, one line written, the exit status.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "TarnwickApple/Sidecar.hpp"
#include "TarnwickApple/SidecarError.hpp"
#include "TarnwickApple/Wire.hpp"

namespace {

using namespace TarnwickApple;

// Exit status when the line could not be written (stdout closed, full, or failing).
constexpr int unwritableStatus = 3;
// Exit status should the runtime ever give up; nothing is printed in that case either.
constexpr int brokenInvariantStatus = 70;

// Writes all of `bytes` to stdout, across partial writes, EINTR and a non-blocking descriptor.
bool writeAll(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
    if (written > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(written));
    } else if (written < 0 && errno == EINTR) {
      continue;
    } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd out{STDOUT_FILENO, POLLOUT, 0};
      ::poll(&out, 1, -1);
    } else {
      return false;
    }
  }
  return true;
}

// All of stdin as raw bytes, waiting until the writer closes it, in the pieces it was read in:
// the decoder releases each piece once read, so the input is never held twice. A stdin that
// cannot be read (a directory, say) reads as nothing.
std::vector<std::string> readAll() {
  constexpr std::size_t pieceSize = 1 << 20;
  std::vector<std::string> pieces;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (got > 0) {
      const auto size = static_cast<std::size_t>(got);
      if (pieces.empty() || pieces.back().size() + size > pieces.back().capacity()) {
        pieces.emplace_back().reserve(pieceSize);
      }
      pieces.back().append(buffer, size);
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd in{STDIN_FILENO, POLLIN, 0};
      ::poll(&in, 1, -1);
    } else {
      return pieces;
    }
  }
}

int probeRun() {
  const Probe probe = Sidecar::probe();
  if (!writeAll(probe.line())) return unwritableStatus;
  return probe.available ? 0 : 1;
}

int requestRun() {
  std::string line;
  try {
    Reply reply;
    {
      std::optional<Request> request;
      try {
        request = Request::decodeReleasing(readAll());  // the input is released as it is decoded
      } catch (...) {
        reply = SidecarError::resolve(std::current_exception()).reply();
      }
      if (request) reply = Sidecar::generate(*request);
    }  // the request is released once the reply is there
    line = reply.line();
  } catch (...) {
    line = SidecarError::resolve(std::current_exception()).reply().line();
  }
  return writeAll(line) ? 0 : unwritableStatus;
}

}  // namespace

int main(int argc, char** argv) {
  // A closed stdout must end the run with a status, not a signal; nothing reaches stderr.
  ::signal(SIGPIPE, SIG_IGN);
  std::set_terminate([] { ::_exit(brokenInvariantStatus); });
  for (int i = 0; i < argc; ++i) {
    if (argv[i] != nullptr && std::strcmp(argv[i], "--probe") == 0) return probeRun();
  }
  return requestRun();
}
