// `--help` and `--version` as a parent or a user at a terminal sees them, for the sidecar and the
// schema checker: answered before stdin is read, `--probe` winning over both, lookalikes ignored.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "TarnwickApple/Protocol/CommandLine.hpp"
#include "support/Expectations.hpp"
#include "support/Subprocess.hpp"

namespace {

using TarnwickApple::CommandLine::Action;

const std::string usableLine = "{\"available\":true,\"reason\":null}\n";
// The sidecar under test is the reference build, or the framework engine's over its test double
// or over the Swift shim.
std::string sidecarVersion() {
  const char* variant = std::getenv("TARNWICK_TEST_SIDECAR");
  const bool framework = variant != nullptr && (std::string(variant) == "double" || std::string(variant) == "swift");
  return std::string("tarnwick_apple ") + TARNWICK_VERSION + (framework ? " (engine: framework)\n" : " (engine: reference)\n");
}
// The checker runs on the build's own engine choice.
const std::string checkerVersion =
    std::string("tarnwick_apple_schema ") + TARNWICK_VERSION + " (engine: " + TARNWICK_BUILD_ENGINE + ")\n";
const std::string plainRequest = R"({"prompt":"hi","use_case":"general","guardrails":"default"})";

std::string sidecar() { return Subprocess::sidecarUnderTest(); }
std::string checker() { return Subprocess::binaryPath("tarnwick_apple_schema"); }

Action actionOf(std::vector<std::string> args, bool probeKnown) {
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  return TarnwickApple::CommandLine::action(static_cast<int>(argv.size()), argv.data(), probeKnown);
}

TEST(CommandLineAction, Table) {
  struct Case {
    std::vector<std::string> args;
    bool probeKnown;
    Action expected;
  };
  const Case cases[] = {
      {{"prog"}, true, Action::run},
      {{"prog", "--help"}, true, Action::help},
      {{"prog", "-h"}, true, Action::help},
      {{"prog", "--version"}, true, Action::version},
      {{"prog", "--version", "--help"}, true, Action::version},  // the first of them decides
      {{"prog", "x", "--help", "--version"}, true, Action::help},
      {{"prog", "--help", "--probe"}, true, Action::probe},  // the probe wins wherever it stands
      {{"prog", "--version", "--probe"}, false, Action::version},
      {{"--help"}, true, Action::run},  // the program name is not an option
      {{"--probe"}, true, Action::probe},
      {{"prog", "--HELP", "-help", "--help=1", "--versions", "-v", "-H", "--help "}, true, Action::run},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    EXPECT_EQ(actionOf(c.args, c.probeKnown), c.expected);
  }
}

TEST(CommandLineAction, VersionLine) {
  EXPECT_EQ(TarnwickApple::CommandLine::versionLine("p", "1.2.3", "framework"), "p 1.2.3 (engine: framework)\n");
}

// The usage text is for people: check its first line and that it ends in one line feed.
void expectUsage(const Subprocess::Result& result, const std::string& firstLine) {
  EXPECT_EQ(result.out.substr(0, result.out.find('\n') + 1), firstLine);
  EXPECT_EQ(result.out.back(), '\n');
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exitStatus, 0);
}

TEST(CommandLineRun, HelpAndVersionBeforeStdin) {
  for (const std::string& exe : {sidecar(), checker()}) {
    SCOPED_TRACE(exe);
    const bool isChecker = exe == checker();
    const std::string usageFirst =
        isChecker ? "Usage: tarnwick_apple_schema [--explain] [--format text] < schema.json\n"
                  : "Usage: tarnwick_apple < request.json\n";
    // Stdin never closed: an answer proves nothing was read.
    expectUsage(Subprocess::run(exe, {"--help"}, Subprocess::Input::neverClosed(), Subprocess::Output::captured(), 20),
                usageFirst);
    expectUsage(Subprocess::run(exe, {"x", "-h"}, "not json"), usageFirst);
    expectLine(Subprocess::run(exe, {"--version"}, Subprocess::Input::neverClosed(), Subprocess::Output::captured(), 20),
               isChecker ? checkerVersion : sidecarVersion(), 0);
  }
}

TEST(CommandLineRun, ProbeWinsAndLookalikesAreIgnored) {
  expectLine(Subprocess::run(sidecar(), {"--help", "--probe"}, ""), usableLine, 0);
  expectLine(Subprocess::run(sidecar(), {"--probe", "--version"}, ""), usableLine, 0);
  expectLine(Subprocess::run(Subprocess::testSidecarPath("modelNotReady"), {"--version", "--probe"}, ""),
             "{\"available\":false,\"reason\":\"MODEL_NOT_READY\"}\n", 1);
  expectLine(Subprocess::run(sidecar(), {"--Help", "-help", "--version=1"}, plainRequest),
             "{\"status\":\"ok\",\"text\":\"hi\"}\n", 0);
  // The checker has no probe: "--probe" is an ignored argument there.
  expectLine(Subprocess::run(checker(), {"--probe", "--version"}, ""), checkerVersion, 0);
}

TEST(CommandLineRun, UnwritableStdoutGivesStatusThree) {
  for (const std::string& exe : {sidecar(), checker()}) {
    for (const std::string option : {"--help", "--version"}) {
      SCOPED_TRACE(exe + " " + option);
      const Subprocess::Result result =
          Subprocess::run(exe, {option}, Subprocess::Input::fromBytes(""), Subprocess::Output::toFile("/dev/full"));
      EXPECT_EQ(result.err, "");
      EXPECT_EQ(result.exitStatus, 3);
    }
  }
}

}  // namespace
