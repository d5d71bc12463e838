// Throughput of request decoding and reply-line writing.
#include <benchmark/benchmark.h>

#include "TarnwickApple/Protocol/Wire.hpp"

namespace {

using namespace TarnwickApple;

void BM_DecodeMinimalRequest(benchmark::State& state) {
  const std::string input = R"({"prompt":"hello","use_case":"general","guardrails":"default"})";
  for (auto _ : state) benchmark::DoNotOptimize(Request::decode(input));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}
BENCHMARK(BM_DecodeMinimalRequest);

void BM_DecodeMegabytePrompt(benchmark::State& state) {
  std::string prompt;
  for (int i = 0; i < (1 << 20); ++i) prompt += "The quick brown fox jumps over the lazy dog. "[i % 45];
  const std::string input = R"({"prompt":")" + prompt + R"(","use_case":"general","guardrails":"default"})";
  for (auto _ : state) benchmark::DoNotOptimize(Request::decode(input));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}
BENCHMARK(BM_DecodeMegabytePrompt)->Unit(benchmark::kMillisecond);

void BM_ReplyLineMegabyteNeedingEscapes(benchmark::State& state) {
  std::string text;
  for (int i = 0; i < (1 << 20); ++i) text += "\"\\\n\t\x01/a"[i % 7];
  const Reply reply = Reply::ok(text);
  for (auto _ : state) benchmark::DoNotOptimize(reply.line());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReplyLineMegabyteNeedingEscapes)->Unit(benchmark::kMillisecond);

}  // namespace
