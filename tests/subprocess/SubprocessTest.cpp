// The test harness's child-process runner: bytes through, statuses, big streams and deadlines.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <string>

#include "support/Subprocess.hpp"

namespace {

TEST(Subprocess, BytesRoundTripAndStatuses) {
  const std::string bytes("a\0b\n\xFF", 5);
  const auto echoed = Subprocess::run("/bin/cat", {}, bytes);
  EXPECT_EQ(echoed.out, bytes);
  EXPECT_EQ(echoed.err, "");
  EXPECT_EQ(echoed.exitStatus, 0);
  EXPECT_EQ(echoed.termSignal, 0);
  EXPECT_FALSE(echoed.timedOut);

  const auto failed = Subprocess::run("/bin/sh", {"-c", "echo oops >&2; exit 3"}, "");
  EXPECT_EQ(failed.err, "oops\n");
  EXPECT_EQ(failed.exitStatus, 3);

  const auto killed = Subprocess::run("/bin/sh", {"-c", "kill -TERM $$"}, "");
  EXPECT_EQ(killed.termSignal, SIGTERM);
  EXPECT_EQ(killed.exitStatus, -1);
}

TEST(Subprocess, LargeInputAndOutputTogetherDoNotDeadlock) {
  std::string big(16 << 20, 'x');
  for (size_t i = 0; i < big.size(); i += 4099) big[i] = static_cast<char>(i % 251);
  const auto result = Subprocess::run("/bin/sh", {"-c", "tee /dev/stderr"}, big);
  EXPECT_EQ(result.out.size(), big.size());
  EXPECT_TRUE(result.out == big);
  EXPECT_TRUE(result.err == big);
  EXPECT_EQ(result.exitStatus, 0);
}

TEST(Subprocess, ChildThatStopsReadingEarly) {
  const auto result = Subprocess::run("/usr/bin/head", {"-c", "3"}, std::string(8 << 20, 'y'));
  EXPECT_EQ(result.out, "yyy");
  EXPECT_EQ(result.exitStatus, 0);
}

TEST(Subprocess, StreamsFromAndToFilesOrClosed) {
  EXPECT_EQ(Subprocess::run("/bin/cat", {}, Subprocess::Input::fromFile("/dev/null"), Subprocess::Output::captured()).out, "");
  const auto directory = Subprocess::run("/bin/cat", {}, Subprocess::Input::fromFile("/"), Subprocess::Output::captured());
  EXPECT_NE(directory.exitStatus, 0);
  EXPECT_NE(directory.err, "");
  // With fd 0 or 1 closed, the shell's redirections fail visibly.
  EXPECT_NE(Subprocess::run("/bin/sh", {"-c", "cat <&0"}, Subprocess::Input::closed(), Subprocess::Output::captured()).exitStatus, 0);
  EXPECT_NE(Subprocess::run("/bin/sh", {"-c", "echo hi"}, Subprocess::Input::fromBytes(""), Subprocess::Output::closed()).exitStatus, 0);
  EXPECT_NE(Subprocess::run("/bin/sh", {"-c", "echo hi"}, Subprocess::Input::fromBytes(""), Subprocess::Output::toFile("/dev/full")).exitStatus, 0);
}

TEST(Subprocess, DeadlineKillsAChildWaitingOnOpenStdin) {
  const auto start = std::chrono::steady_clock::now();
  const auto result = Subprocess::run("/bin/cat", {}, Subprocess::Input::neverClosed("partial"), Subprocess::Output::captured(), 0.3);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_TRUE(result.timedOut);
  EXPECT_EQ(result.termSignal, SIGKILL);
  EXPECT_EQ(result.out, "partial");
  EXPECT_LT(elapsed, std::chrono::seconds(10));
}

TEST(Subprocess, ChildStartsWithSigpipeAtItsDefault) {
  // This process ignores SIGPIPE while it feeds a child; the child must not inherit that.
  const auto result = Subprocess::run("/bin/grep", {"SigIgn", "/proc/self/status"}, "");
  ASSERT_EQ(result.exitStatus, 0);
  const unsigned long long ignored = std::stoull(result.out.substr(result.out.find(':') + 1), nullptr, 16);
  EXPECT_EQ(ignored & (1ull << (SIGPIPE - 1)), 0u);
}

TEST(Subprocess, MissingProgramThrows) {
  EXPECT_THROW(Subprocess::run("/nonexistent/program", {}, ""), std::runtime_error);
}

}  // namespace
