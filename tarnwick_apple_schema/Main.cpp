// The schema checker: reads one JSON Schema on stdin and prints what it becomes as a generation
// schema, or the failure line the sidecar would answer with.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <string>
#include <string_view>

#include "TarnwickApple/JSONValue.hpp"
#include "TarnwickApple/SchemaTranslator.hpp"
#include "TarnwickApple/SidecarError.hpp"
#include "TarnwickApple/Wire.hpp"

namespace {

using namespace TarnwickApple;

constexpr int acceptedStatus = 0;
constexpr int refusedStatus = 1;
constexpr int notJSONStatus = 2;
// The line could not be written (stdout closed, full, or failing).
constexpr int unwritableStatus = 3;
// Should the runtime ever give up; nothing is printed then either.
constexpr int brokenInvariantStatus = 70;

// How much is asked of each read of stdin.
constexpr std::size_t readSize = 1 << 16;

const std::string_view notJSONLine =
    "{\"status\":\"error\",\"kind\":\"FoundationModelsError\",\"message\":\"the schema on stdin is not JSON\"}\n";

// All of stdin; an unreadable stdin (a directory, say) reads as what came before the failure.
std::string readAll() {
  std::string data;
  for (;;) {
    const std::size_t before = data.size();
    data.resize(before + readSize);
    const ssize_t got = ::read(STDIN_FILENO, data.data() + before, readSize);
    data.resize(before + (got > 0 ? static_cast<std::size_t>(got) : 0));
    if (got > 0) continue;
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd in{STDIN_FILENO, POLLIN, 0};
      ::poll(&in, 1, -1);
      continue;
    }
    return data;
  }
}

// Writes all of `bytes` across partial writes, EINTR and a non-blocking stdout.
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

struct Outcome {
  std::string line;
  int status;
};

Outcome refused(std::exception_ptr failure) {
  return {SidecarError::resolve(std::move(failure)).reply().line(), refusedStatus};
}

Outcome check() {
  std::optional<JSONValue> document;
  try {
    document = JSONValue::decode(readAll());
  } catch (const JSONValue::DecodeError&) {
    return {std::string(notJSONLine), notJSONStatus};
  } catch (...) {
    return refused(std::current_exception());
  }
  try {
    const FoundationModels::GenerationSchema schema = SchemaTranslator::generationSchema(*document);
    std::string line = "{\"status\":\"ok\",\"schema\":";
    schema.appendDescription(line);
    line += "}\n";
    return {std::move(line), acceptedStatus};
  } catch (...) {
    return refused(std::current_exception());
  }
}

}  // namespace

int main() {
  // A closed stdout must end the run with a status, not a signal; nothing reaches stderr.
  ::signal(SIGPIPE, SIG_IGN);
  std::set_terminate([] { ::_exit(brokenInvariantStatus); });
  const Outcome outcome = check();
  return writeAll(outcome.line) ? outcome.status : unwritableStatus;
}
