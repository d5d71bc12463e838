// Hostile standard streams: a 64 MB prompt, stdin empty, closed, /dev/null, a directory or never
// closed, non-blocking pipes, and a stdout that is closed, full or on a full disk.
#include <gtest/gtest.h>

#include <signal.h>

#include <cerrno>
#include <string>

#include "Hostile.hpp"

namespace {

using namespace Hostile;

// The largest input the suite sends: 64 MiB of prompt text.
constexpr std::size_t largePromptBytes = std::size_t{64} << 20;
// A deadline for the large runs that only a hung run meets, under a memory checker included.
constexpr double largeRunLimitSeconds = 600;
// Enough for thousands of partial reads and writes through a 64 KiB pipe.
constexpr std::size_t nonBlockingPromptBytes = std::size_t{4} << 20;
// How long a run that waits for more input is given before the test ends it.
constexpr double patienceSeconds = 0.5;

// A prompt of `bytes` bytes mixing words, escapes and multi-byte characters, in JSON form and as
// the reply line writes it back.
struct Prompt {
  std::string json, replyLine;
};
Prompt largePrompt(std::size_t bytes) {
  // Each piece is its JSON spelling and the text the reply writes for it.
  const std::pair<std::string, std::string> pieces[] = {
      {"words ", "words "}, {"\\n", "\\n"}, {"\\\"", "\\\""}, {"\\/", "/"},
      {"\\u00e9", "\xC3\xA9"}, {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"}, {"\\u0001", "\\u0001"}, {"\\t", "\\t"}};
  Prompt prompt;
  prompt.json.reserve(bytes + 16);
  prompt.replyLine.reserve(bytes + 64);
  // Appended rather than assigned: g++ 12 warns falsely (-Wrestrict) on assigning a literal here.
  prompt.json += '"';
  prompt.replyLine += "{\"status\":\"ok\",\"text\":\"";
  for (std::size_t i = 0; prompt.json.size() < bytes; ++i) {
    const auto& [json, reply] = pieces[i % std::size(pieces)];
    prompt.json += json;
    prompt.replyLine += reply;
  }
  prompt.json += "\"";
  prompt.replyLine += "\"}\n";
  return prompt;
}

TEST(HostileStreams, LargePromptReadWholeAndAnsweredWithOneLine) {
  const Prompt prompt = largePrompt(largePromptBytes);
  const std::string input = request(prompt.json);
  ASSERT_GE(input.size(), largePromptBytes);
  // The reference engine's context window refuses it; an engine without one echoes it whole.
  expectLine(Subprocess::run(sidecar(), {}, input, largeRunLimitSeconds), contextWindowLine);
  expectLine(Subprocess::run(echoSidecar(), {}, input, largeRunLimitSeconds), prompt.replyLine);
}

TEST(HostileStreams, NonBlockingPipesAreReadAndWrittenWhole) {
  // Pipes left non-blocking by the parent: partial reads and writes, EAGAIN on both ends.
  const Prompt prompt = largePrompt(nonBlockingPromptBytes);
  Subprocess::Input nonBlockingIn = Subprocess::Input::fromBytes(request(prompt.json));
  nonBlockingIn.nonBlocking = true;
  Subprocess::Output nonBlockingOut = Subprocess::Output::captured();
  nonBlockingOut.nonBlocking = true;
  expectLine(Subprocess::run(echoSidecar(), {}, nonBlockingIn, nonBlockingOut), prompt.replyLine);
}

TEST(HostileStreams, StdinThatHoldsNothing) {
  for (const Subprocess::Input& input :
       {Subprocess::Input::fromBytes(""), Subprocess::Input::closed(), Subprocess::Input::fromFile("/dev/null"),
        Subprocess::Input::fromFile("/"), Subprocess::Input::fromFile(TARNWICK_TEST_DATA)}) {
    SCOPED_TRACE(input.path);
    expectLine(Subprocess::run(sidecar(), {}, input, Subprocess::Output::captured()), malformedLine);
  }
}

TEST(HostileStreams, StdinNeverClosedIsWaitedForAndLeavesNothingBehind) {
  // A whole request is no reason to answer early: the run waits for the end of input, blocking
  // or not, until the test ends it.
  for (const bool nonBlocking : {false, true}) {
    SCOPED_TRACE(nonBlocking);
    Subprocess::Input input = Subprocess::Input::neverClosed(request("\"p\""));
    input.nonBlocking = nonBlocking;
    const auto result = Subprocess::run(sidecar(), {}, input, Subprocess::Output::captured(), patienceSeconds);
    EXPECT_TRUE(result.timedOut);
    EXPECT_EQ(result.termSignal, SIGKILL);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    // Reaped: no process of that id is left.
    EXPECT_EQ(::kill(result.pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
  }
}

TEST(HostileStreams, UnwritableStdoutEndsWithStatusAndNoSignal) {
  const std::string good = request("\"p\"");
  const std::string large = request("\"" + std::string(1 << 20, 'x') + "\"");
  const Subprocess::Output outputs[] = {Subprocess::Output::closed(), Subprocess::Output::toFile("/dev/full"),
                                        Subprocess::Output::fullPipe(false), Subprocess::Output::fullPipe(true)};
  for (const Subprocess::Output& output : outputs) {
    SCOPED_TRACE(static_cast<int>(output.kind) * 2 + output.nonBlocking);
    // Both paths, with a short line and a megabyte one (several writes' worth).
    expectUnwritable(Subprocess::run(sidecar(), {}, Subprocess::Input::fromBytes(good), output));
    expectUnwritable(Subprocess::run(sidecar(), {"--probe"}, Subprocess::Input::fromBytes(""), output));
    expectUnwritable(Subprocess::run(echoSidecar(), {}, Subprocess::Input::fromBytes(large), output));
    expectUnwritable(Subprocess::run(sidecar(), {}, Subprocess::Input::fromBytes("not json"), output));
  }
}

}  // namespace
