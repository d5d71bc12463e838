// Runs a program as a parent process would: bytes on stdin, stdout and stderr captured, exit
// status or signal, and a deadline after which the child is killed.
#pragma once

#include <string>
#include <vector>

namespace Subprocess {

struct Result {
  std::string out, err;
  int exitStatus;  // the status the child exited with, or -1 when a signal ended it
  int termSignal;  // the signal that ended the child, or 0
  bool timedOut;   // the deadline passed and the child was killed
  int pid = 0;     // the child's process id (reaped by the time `run` returns)
};

// Where the child's standard input comes from.
struct Input {
  enum class Kind { bytes, file, closed, neverClosed };
  Kind kind = Kind::bytes;
  std::string bytes;  // Kind::bytes and Kind::neverClosed: what is written to the pipe
  std::string path;   // Kind::file: opened read-only (a file, /dev/null, a directory)
  bool nonBlocking = false;  // pipe kinds: the child's end is O_NONBLOCK, as a careless parent may leave it

  static Input fromBytes(std::string bytes);
  static Input fromFile(std::string path);
  static Input closed();
  // The bytes are written and the pipe is then held open until the child ends or is killed.
  static Input neverClosed(std::string bytes = "");
};

// Where the child's standard output goes; standard error is always captured.
struct Output {
  enum class Kind { captured, file, closed, fullPipe };
  Kind kind = Kind::captured;
  std::string path;  // Kind::file: opened write-only (a file, /dev/full)
  bool nonBlocking = false;  // pipe kinds: the child's end is O_NONBLOCK

  static Output captured();
  static Output toFile(std::string path);
  static Output closed();
  // A pipe already filled to capacity whose reader never reads and goes away after a moment
  // (the child then meets EPIPE, blocked or not).
  static Output fullPipe(bool nonBlocking = false);
};

// Runs `path` with `args` (the program name is added in front), under the command in the
// environment variable TARNWICK_TEST_WRAPPER when that is set (scripts/valgrind sets it). Throws
// std::runtime_error when the program cannot be started.
Result run(const std::string& path, const std::vector<std::string>& args, const std::string& stdinBytes,
           double timeoutSeconds = 60);
Result run(const std::string& path, const std::vector<std::string>& args, const Input& input, const Output& output,
           double timeoutSeconds = 60);

// Where the build put `tarnwick_apple` and its siblings.
std::string binaryPath(const std::string& name);
// The sidecar built over the test engine `variant` (e.g. "modelNotReady", "echo").
std::string testSidecarPath(const std::string& variant);
// The sidecar the end-to-end suites run: the variant named by TARNWICK_TEST_SIDECAR ("reference"
// when unset, "double" for the framework engine over its test double).
std::string sidecarUnderTest();

}  // namespace Subprocess
