// The reference engine's plain text: echo, token limit, context window, odd option values.
#include "TarnwickApple/Engines/Reference/ReferenceEngine.hpp"

#include <gtest/gtest.h>

#include "TarnwickApple/FoundationModels/LanguageModelSession.hpp"
#include "TarnwickApple/Engines/Reference/internal/Tokenizer.hpp"

namespace TarnwickApple::Engines {
namespace {

using namespace FoundationModels;

using GE = LanguageModelSession::GenerationError;

TEST(Tokenizer, Counts) {
  const std::pair<const char*, std::size_t> table[] = {
      {"", 0},       {"a", 1},          {"abcd", 1},     {"abcde", 2},   {"hello world", 4},
      {"  ", 1},     {"a  ", 2},        {"a,b", 3},      {"\xC3\xA9t\xC3\xA9", 3},
      {"\xF0\x9F\x98\x80!", 2},         {"12345678", 2}, {" \n a", 1},
      // White space comes in pieces of at most 16 characters.
      {"                a", 1},  {"                 a", 2}, {"                                ", 2},
      {"                                 ", 3},
  };
  for (const auto& [text, tokens] : table) EXPECT_EQ(Tokenizer::count(text), tokens) << text;
  EXPECT_EQ(Tokenizer::prefixLength("hello world", 1), 4u);
  EXPECT_EQ(Tokenizer::prefixLength("hello world", 2), 5u);
  EXPECT_EQ(Tokenizer::prefixLength("hello world", 3), 10u);
  EXPECT_EQ(Tokenizer::prefixLength("hello world", 4), 11u);
  EXPECT_EQ(Tokenizer::prefixLength("hello world", 99), 11u);
  EXPECT_EQ(Tokenizer::prefixLength("\xC3\xA9\xC3\xA9", 1), 2u);  // never inside a character
}

std::string respond(ReferenceEngine& engine, std::string_view prompt, GenerationOptions options = {},
                    std::optional<std::string> instructions = std::nullopt) {
  return engine.respond(SessionSettings{{}, {}, std::move(instructions)}, prompt, options);
}

GE::Case failure(ReferenceEngine& engine, std::string_view prompt, GenerationOptions options = {},
                 std::optional<std::string> instructions = std::nullopt) {
  try {
    respond(engine, prompt, options, std::move(instructions));
  } catch (const GE& error) {
    return error.kind();
  }
  ADD_FAILURE() << "no failure";
  return GE::Case::timedOut;
}

TEST(ReferenceEngine, EchoAndTokenLimit) {
  ReferenceEngine engine;
  EXPECT_EQ(respond(engine, "hello world"), "hello world");
  EXPECT_EQ(respond(engine, ""), "");
  GenerationOptions two;
  two.maximumResponseTokens = 2;
  EXPECT_EQ(respond(engine, "hello world", two), "hello");
  two.maximumResponseTokens = 3;
  EXPECT_EQ(respond(engine, "hello world", two), "hello worl");
  for (std::int64_t limit : {0LL, -1LL, static_cast<long long>(INT64_MIN)}) {
    GenerationOptions o;
    o.maximumResponseTokens = limit;
    EXPECT_EQ(respond(engine, "hello world", o), "");
  }
  GenerationOptions huge;
  huge.maximumResponseTokens = INT64_MAX;
  EXPECT_EQ(respond(engine, "hello world", huge), "hello world");
}

TEST(ReferenceEngine, OddSamplingValuesChangeNothing) {
  ReferenceEngine engine;
  for (const SamplingMode& mode : {SamplingMode::random(std::int64_t{-5}, 1), SamplingMode::random(std::int64_t{0}, std::nullopt),
                                   SamplingMode::random(-3.0, 2), SamplingMode::random(7.0, std::nullopt), SamplingMode::greedy()}) {
    GenerationOptions o;
    o.sampling = mode;
    o.temperature = -100.0;
    EXPECT_EQ(respond(engine, "same text", o), "same text");
  }
}

TEST(ReferenceEngine, ContextWindow) {
  ReferenceEngine engine;
  const std::string fits(2048, ',');  // 2048 tokens in, 2048 out
  const std::string over(2049, ',');
  EXPECT_EQ(respond(engine, fits), fits);
  EXPECT_EQ(failure(engine, over), GE::Case::exceededContextWindowSize);
  EXPECT_EQ(failure(engine, fits, {}, ","), GE::Case::exceededContextWindowSize);
  GenerationOptions cut;
  cut.maximumResponseTokens = 1;
  EXPECT_EQ(respond(engine, std::string(4095, ','), cut), ",");
  EXPECT_EQ(failure(engine, std::string(4096, ','), cut), GE::Case::exceededContextWindowSize);
  ReferenceEngine windowless(0);
  const std::string big(1 << 20, 'x');
  EXPECT_EQ(respond(windowless, big), big);
}

}  // namespace
}  // namespace TarnwickApple::Engines
