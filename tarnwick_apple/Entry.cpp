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

// All of stdin as raw bytes, waiting until the writer closes it. A stdin that cannot be read
// (a directory, say) reads as nothing. Bytes are gathered in chunks and joined once, so the
// input is held at its exact size rather than in a buffer grown by doubling.
std::string readAll() {
  constexpr std::size_t chunkSize = 1 << 20;
  std::vector<std::string> chunks;
  std::size_t total = 0;
  std::string chunk;
  for (;;) {
    if (chunk.size() == chunk.capacity() || chunk.empty()) {
      if (!chunk.empty()) chunks.push_back(std::move(chunk));
      chunk = std::string();
      chunk.reserve(chunkSize);
    }
    const std::size_t before = chunk.size();
    chunk.resize(chunk.capacity());
    const ssize_t got = ::read(STDIN_FILENO, chunk.data() + before, chunk.size() - before);
    chunk.resize(before + (got > 0 ? static_cast<std::size_t>(got) : 0));
    if (got > 0) {
      total += static_cast<std::size_t>(got);
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd in{STDIN_FILENO, POLLIN, 0};
      ::poll(&in, 1, -1);
    } else {
      break;
    }
  }
  if (chunks.empty()) return chunk;
  std::string data;
  data.reserve(total);
  for (std::string& piece : chunks) {
    data += piece;
    std::string().swap(piece);
  }
  data += chunk;
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
