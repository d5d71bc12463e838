// Reading stdin whole and writing stdout completely, for both executables.
#include "TarnwickApple/Protocol/StandardStreams.hpp"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <exception>

namespace TarnwickApple::StandardStreams {

void prepareProcess() {
  ::signal(SIGPIPE, SIG_IGN);
  std::set_terminate([] { ::_exit(brokenInvariantStatus); });
}

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

}  // namespace TarnwickApple::StandardStreams
