// Pattern rewriting speed on large patterns: the time per byte must not grow with the length.
#include <benchmark/benchmark.h>

#include <string>

#include "TarnwickApple/Schema/RegexPattern.hpp"

namespace {

// A pattern of about `bytes` bytes made of repeated pieces that use every accepted construct.
std::string pattern(std::size_t bytes, const std::string& piece) {
  std::string text = "^";
  while (text.size() + piece.size() < bytes) text += piece;
  text.append(bytes - text.size() - 1, 'a');
  return text + "$";
}

void rewrite(benchmark::State& state, const std::string& piece) {
  const std::string text = pattern(static_cast<std::size_t>(state.range(0)), piece);
  if (!TarnwickApple::RegexPattern::desugared(text)) {
    state.SkipWithError("the benchmark pattern is refused");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(TarnwickApple::RegexPattern::desugared(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}

void BM_DesugaredPlain(benchmark::State& state) { rewrite(state, R"((?:ab|cd)+\.x{2,3}\-[.]y*|)"); }

// Range-heavy classes: about 70 class members per 50 bytes.
void BM_DesugaredAscii(benchmark::State& state) {
  rewrite(state, R"((ab|[a-f0-9]+)\.x{2,3}\-[A-Za-z_]*(?:\d|\w)?[.]|)");
}

void BM_DesugaredNonAscii(benchmark::State& state) { rewrite(state, "(?:déjà|中文)[é a]+\u212A{2}|"); }

BENCHMARK(BM_DesugaredPlain)->Arg(1 << 10)->Arg(100 << 10)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DesugaredAscii)->Arg(1 << 10)->Arg(100 << 10)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DesugaredNonAscii)->Arg(1 << 10)->Arg(100 << 10)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);

}  // namespace
