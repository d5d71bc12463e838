// The streaming driver over test engines: every failure after partial lines ends with its line,
// a line that cannot be written stops the engine and writes nothing more, and earlier turns reach
// the engine in order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TarnwickApple/Engines/Reference/ReferenceEngine.hpp"
#include "TarnwickApple/Sidecar.hpp"
#include "support/ErrorTables.hpp"
#include "support/FaultEngine.hpp"

namespace TarnwickApple {
namespace {

namespace FM = FoundationModels;

Request streamed(const std::string& extra = "") {
  return Request::decode(
      R"({"prompt":"alpha beta gamma delta epsilon zeta eta theta","use_case":"general","guardrails":"default","stream":true)" +
      extra + "}");
}

const std::vector<std::string> partials = {
    "{\"status\":\"partial\",\"text\":\"alph\"}\n",
    "{\"status\":\"partial\",\"text\":\"alpha beta\"}\n",
    "{\"status\":\"partial\",\"text\":\"alpha beta gamma delt\"}\n",
    "{\"status\":\"partial\",\"text\":\"alpha beta gamma delta epsilon zeta eta thet\"}\n",
};

TEST(StreamDriver, EveryFailureAfterPartialLines) {
  for (const auto& [kind, error] : generationFailureTable()) {
    Engines::ReferenceEngine reference;
    Testing::FaultEngine fault(reference);
    fault.generationFailure = kind;
    std::vector<std::string> written;
    EXPECT_TRUE(Sidecar::stream(streamed(), fault, [&](std::string_view line) {
      written.emplace_back(line);
      return true;
    }));
    std::vector<std::string> expected = partials;
    expected.push_back(Reply::failure(*error).line());
    EXPECT_EQ(written, expected);
  }
}

TEST(StreamDriver, UnwritableLineStopsTheEngineAndEverythingAfter) {
  // The n-th write fails: nothing is written after it and the engine hears "stop" at once.
  for (std::size_t failing = 0; failing <= partials.size(); ++failing) {
    SCOPED_TRACE(failing);
    Engines::ReferenceEngine reference;
    std::size_t attempts = 0;
    EXPECT_FALSE(Sidecar::stream(streamed(), reference, [&](std::string_view) { return attempts++ < failing; }));
    EXPECT_EQ(attempts, failing + 1);
  }
  // Failures before generation are written as the only line.
  Engines::ReferenceEngine reference;
  std::vector<std::string> written;
  EXPECT_TRUE(Sidecar::stream(streamed(R"(,"schema":{"$ref":"#/nowhere"})"), reference, [&](std::string_view line) {
    written.emplace_back(line);
    return true;
  }));
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(written[0], Sidecar::generate(streamed(R"(,"schema":{"$ref":"#/nowhere"})"), reference).line());
}

// Records the settings the session hands its engine.
class SettingsProbe : public FM::EngineWrapper {
 public:
  using EngineWrapper::EngineWrapper;
  std::vector<FM::SessionSettings> seen;
  std::string respond(const FM::SessionSettings& session, std::string_view prompt, const FM::GenerationOptions& options) override {
    seen.push_back(session);
    return EngineWrapper::respond(session, prompt, options);
  }
  std::string streamResponse(const FM::SessionSettings& session, std::string_view prompt, const FM::GenerationOptions& options,
                             const FM::SnapshotSink& sink) override {
    seen.push_back(session);
    return EngineWrapper::streamResponse(session, prompt, options, sink);
  }
};

TEST(StreamDriver, EarlierTurnsReachTheEngineInOrder) {
  const std::string history =
      R"(,"instructions":"I","history":[{"role":"user","text":"u1"},{"role":"assistant","text":"a1"},{"role":"user","text":""}])";
  const std::vector<FM::Turn> expected = {
      {FM::Turn::Role::user, "u1"}, {FM::Turn::Role::assistant, "a1"}, {FM::Turn::Role::user, ""}};
  Engines::ReferenceEngine reference;
  SettingsProbe probe(reference);
  (void)Sidecar::generate(streamed(history), probe);
  EXPECT_TRUE(Sidecar::stream(streamed(history), probe, [](std::string_view) { return true; }));
  ASSERT_EQ(probe.seen.size(), 2u);
  for (const FM::SessionSettings& settings : probe.seen) {
    EXPECT_EQ(settings.history, expected);
    EXPECT_EQ(settings.instructions, "I");
  }
}

}  // namespace
}  // namespace TarnwickApple
