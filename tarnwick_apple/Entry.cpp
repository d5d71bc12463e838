// The sidecar executable: the argument test, stdin read whole, one line written, the exit status.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>

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

// All of stdin as raw bytes, waiting until the writer closes it. A stdin that cannot be read
// (a directory, say) reads as nothing.
std::string readAll() {
  std::string data;
  struct stat info {};
  if (::fstat(STDIN_FILENO, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    data.reserve(static_cast<std::size_t>(info.st_size) + 1);
  }
  constexpr std::size_t chunk = 1 << 16;
  for (;;) {
    if (data.capacity() - data.size() < chunk) data.reserve(std::max(data.capacity() * 2, data.size() + chunk));
    const std::size_t before = data.size();
    data.resize(data.capacity());
    const ssize_t got = ::read(STDIN_FILENO, data.data() + before, data.size() - before);
    if (got > 0) {
      data.resize(before + static_cast<std::size_t>(got));
    } else if (got < 0 && errno == EINTR) {
      data.resize(before);
    } else if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      data.resize(before);
      pollfd in{STDIN_FILENO, POLLIN, 0};
      ::poll(&in, 1, -1);
    } else {
      data.resize(before);
      break;
    }
  }
  return data;
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
      {
        const std::string input = readAll();
        try {
          request = Request::decode(input);
        } catch (...) {
          reply = SidecarError::resolve(std::current_exception()).reply();
        }
      }  // the input is released once decoded
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
