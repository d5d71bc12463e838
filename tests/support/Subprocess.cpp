// Child processes for end-to-end tests: posix_spawn with pipes, stdin fed and stdout/stderr
// drained together through poll() so large inputs and outputs never deadlock.
#include "support/Subprocess.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace Subprocess {

namespace {

using Clock = std::chrono::steady_clock;

// Reads per poll round; large enough that a 64 MB output takes a few thousand rounds.
constexpr size_t readChunk = 1 << 16;

// How long the reader of a full pipe stays before it goes away: long enough for the child to
// reach its write in the usual case; either way the child then meets a reader-less pipe.
constexpr auto fullPipeHold = std::chrono::milliseconds(100);

[[noreturn]] void fail(const std::string& what, int error) {
  throw std::runtime_error("Subprocess: " + what + ": " + std::strerror(error));
}

// A pipe whose both ends close on exec; the child gets its end through dup2, which clears that.
struct Pipe {
  int readEnd = -1, writeEnd = -1;
  Pipe() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) fail("pipe2", errno);
    readEnd = fds[0];
    writeEnd = fds[1];
  }
};

void closeFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

void setNonBlocking(int fd, bool nonBlocking) {
  const int flags = fcntl(fd, F_GETFL);
  fcntl(fd, F_SETFL, nonBlocking ? flags | O_NONBLOCK : flags & ~O_NONBLOCK);
}

// The command put in front of every program run, such as a memory checker: the words of
// TARNWICK_TEST_WRAPPER (the first an absolute path), or nothing when it is unset.
std::vector<std::string> wrapper() {
  std::vector<std::string> words;
  const char* text = std::getenv("TARNWICK_TEST_WRAPPER");
  std::istringstream stream(text ? text : "");
  for (std::string word; stream >> word;) words.push_back(word);
  return words;
}

// Writes into the pipe until it holds all it can take.
void fill(int writeEnd) {
  setNonBlocking(writeEnd, true);
  const std::string block(readChunk, 'x');
  while (write(writeEnd, block.data(), block.size()) > 0 || errno == EINTR) {
  }
  char one = 'x';
  while (write(writeEnd, &one, 1) > 0 || errno == EINTR) {
  }
}

// Ignores SIGPIPE in this process for its lifetime, so writing to a child that has closed its
// stdin gives EPIPE instead of killing the test.
struct IgnoreSigpipe {
  struct sigaction previous {};
  IgnoreSigpipe() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &previous);
  }
  ~IgnoreSigpipe() { sigaction(SIGPIPE, &previous, nullptr); }
};

// Owns the spawn attributes: the child starts with every signal at its default disposition and
// nothing blocked, whatever this process has set.
struct SpawnSetup {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
  }
};

void appendRead(int& fd, std::string& sink) {
  char buffer[readChunk];
  const ssize_t n = read(fd, buffer, sizeof buffer);
  if (n > 0) {
    sink.append(buffer, static_cast<size_t>(n));
  } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
    closeFd(fd);
  }
}

// Waits for the child until the deadline; kills it when the deadline passes.
int reap(pid_t pid, Clock::time_point deadline, bool& timedOut) {
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return status;
    if (done < 0 && errno != EINTR) fail("waitpid", errno);
    if (Clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  timedOut = true;
  kill(pid, SIGKILL);
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) fail("waitpid", errno);
  }
  return status;
}

}  // namespace

Input Input::fromBytes(std::string bytes) { return {Kind::bytes, std::move(bytes), {}}; }
Input Input::fromFile(std::string path) { return {Kind::file, {}, std::move(path)}; }
Input Input::closed() { return {Kind::closed, {}, {}}; }
Input Input::neverClosed(std::string bytes) { return {Kind::neverClosed, std::move(bytes), {}}; }

Output Output::captured() { return {Kind::captured, {}}; }
Output Output::toFile(std::string path) { return {Kind::file, std::move(path)}; }
Output Output::closed() { return {Kind::closed, {}}; }
Output Output::fullPipe(bool nonBlocking) { return {Kind::fullPipe, {}, nonBlocking}; }

Result run(const std::string& path, const std::vector<std::string>& args, const std::string& stdinBytes,
           double timeoutSeconds) {
  return run(path, args, Input::fromBytes(stdinBytes), Output::captured(), timeoutSeconds);
}

Result run(const std::string& path, const std::vector<std::string>& args, const Input& input, const Output& output,
           double timeoutSeconds) {
  const IgnoreSigpipe ignoreSigpipe;
  const auto deadline =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeoutSeconds));
  SpawnSetup setup;

  int stdinWrite = -1, stdoutRead = -1, stderrRead = -1, fullPipeRead = -1;
  int childEnds[3] = {-1, -1, -1};

  switch (input.kind) {
    case Input::Kind::bytes:
    case Input::Kind::neverClosed: {
      Pipe p;
      stdinWrite = p.writeEnd;
      childEnds[0] = p.readEnd;
      fcntl(stdinWrite, F_SETFL, fcntl(stdinWrite, F_GETFL) | O_NONBLOCK);
      if (input.nonBlocking) setNonBlocking(p.readEnd, true);
      posix_spawn_file_actions_adddup2(&setup.actions, p.readEnd, 0);
      break;
    }
    case Input::Kind::file:
      posix_spawn_file_actions_addopen(&setup.actions, 0, input.path.c_str(), O_RDONLY, 0);
      break;
    case Input::Kind::closed:
      posix_spawn_file_actions_addclose(&setup.actions, 0);
      break;
  }
  switch (output.kind) {
    case Output::Kind::captured: {
      Pipe p;
      stdoutRead = p.readEnd;
      childEnds[1] = p.writeEnd;
      if (output.nonBlocking) setNonBlocking(p.writeEnd, true);
      posix_spawn_file_actions_adddup2(&setup.actions, p.writeEnd, 1);
      break;
    }
    case Output::Kind::fullPipe: {
      Pipe p;
      fullPipeRead = p.readEnd;
      childEnds[1] = p.writeEnd;
      fill(p.writeEnd);
      setNonBlocking(p.writeEnd, output.nonBlocking);
      posix_spawn_file_actions_adddup2(&setup.actions, p.writeEnd, 1);
      break;
    }
    case Output::Kind::file:
      posix_spawn_file_actions_addopen(&setup.actions, 1, output.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      break;
    case Output::Kind::closed:
      posix_spawn_file_actions_addclose(&setup.actions, 1);
      break;
  }
  {
    Pipe p;
    stderrRead = p.readEnd;
    childEnds[2] = p.writeEnd;
    posix_spawn_file_actions_adddup2(&setup.actions, p.writeEnd, 2);
  }

  std::vector<std::string> argStore = wrapper();
  argStore.push_back(path);
  argStore.insert(argStore.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& arg : argStore) argv.push_back(arg.data());
  argv.push_back(nullptr);

  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argStore.front().c_str(), &setup.actions, &setup.attributes, argv.data(), environ);
  for (int& fd : childEnds) closeFd(fd);
  if (spawned != 0) {
    closeFd(fullPipeRead);
    closeFd(stdinWrite);
    closeFd(stdoutRead);
    closeFd(stderrRead);
    fail("cannot start " + path, spawned);
  }

  Result result{{}, {}, -1, 0, false, static_cast<int>(pid)};
  const auto fullPipeGone = Clock::now() + fullPipeHold;
  size_t written = 0;
  const bool closeWhenWritten = input.kind == Input::Kind::bytes;
  if (stdinWrite >= 0 && input.bytes.empty() && closeWhenWritten) closeFd(stdinWrite);

  while (stdoutRead >= 0 || stderrRead >= 0) {
    if (fullPipeRead >= 0 && Clock::now() >= fullPipeGone) closeFd(fullPipeRead);
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) break;
    if (fullPipeRead >= 0) {
      const auto hold = std::chrono::duration_cast<std::chrono::milliseconds>(fullPipeGone - Clock::now()).count();
      left = std::min<decltype(left)>(left, hold + 1);
    }
    pollfd fds[3];
    nfds_t count = 0;
    const bool writing = stdinWrite >= 0 && written < input.bytes.size();
    if (writing) fds[count++] = {stdinWrite, POLLOUT, 0};
    if (stdoutRead >= 0) fds[count++] = {stdoutRead, POLLIN, 0};
    if (stderrRead >= 0) fds[count++] = {stderrRead, POLLIN, 0};
    const int ready = poll(fds, count, static_cast<int>(left < 1000 ? left : 1000));
    if (ready < 0) {
      if (errno == EINTR) continue;
      fail("poll", errno);
    }
    for (nfds_t i = 0; i < count; ++i) {
      if (fds[i].revents == 0) continue;
      if (fds[i].fd == stdinWrite) {
        const ssize_t n = write(stdinWrite, input.bytes.data() + written, input.bytes.size() - written);
        if (n > 0) {
          written += static_cast<size_t>(n);
          if (written == input.bytes.size() && closeWhenWritten) closeFd(stdinWrite);
        } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
          closeFd(stdinWrite);  // the child closed its stdin (EPIPE): stop feeding it
        }
      } else if (fds[i].fd == stdoutRead) {
        appendRead(stdoutRead, result.out);
      } else {
        appendRead(stderrRead, result.err);
      }
    }
  }

  const int status = reap(pid, deadline, result.timedOut);
  closeFd(fullPipeRead);
  closeFd(stdinWrite);
  closeFd(stdoutRead);
  closeFd(stderrRead);
  if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.termSignal = WTERMSIG(status);
  return result;
}

std::string binaryPath(const std::string& name) { return std::string(TARNWICK_BINARY_DIR) + "/" + name; }

std::string testSidecarPath(const std::string& variant) {
  return std::string(TARNWICK_TEST_BINARY_DIR) + "/tarnwick_apple_" + variant;
}

std::string sidecarUnderTest() {
  const char* variant = std::getenv("TARNWICK_TEST_SIDECAR");
  return testSidecarPath(variant != nullptr && *variant != '\0' ? variant : "reference");
}

}  // namespace Subprocess
