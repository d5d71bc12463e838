// Unique names for one base asked for many times: the time per call must stay flat.
#include <benchmark/benchmark.h>

#include "TarnwickApple/Schema/Namer.hpp"

namespace {

void BM_UniqueOneBase(benchmark::State& state) {
  const auto requests = state.range(0);
  for (auto _ : state) {
    TarnwickApple::Namer namer;
    for (std::int64_t k = 0; k < requests; ++k) benchmark::DoNotOptimize(namer.unique("Item"));
  }
  state.SetItemsProcessed(state.iterations() * requests);
  state.counters["per_call"] = benchmark::Counter(static_cast<double>(requests),
                                                  benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_UniqueOneBase)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
