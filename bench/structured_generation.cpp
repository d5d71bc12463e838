// Generation of the greedy structured answer for wide, many-definition and deeply nested
// schemas, built directly as generation schemas.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "TarnwickApple/FoundationModels/DynamicGenerationSchema.hpp"
#include "TarnwickApple/FoundationModels/GenerationSchema.hpp"
#include "TarnwickApple/Engines/Reference/internal/StructuredGenerator.hpp"
#include "TarnwickApple/Text/Unicode.hpp"

namespace {

using namespace TarnwickApple::FoundationModels;
using namespace TarnwickApple::Engines;
using DGS = DynamicGenerationSchema;

GenerationGuide pattern(const char* expression) {
  return GenerationGuide::pattern(*TarnwickApple::Unicode::Regex::compile(expression));
}

// One object of `count` required properties cycling through the scalar kinds and guides.
GenerationSchema wide(std::int64_t count) {
  std::vector<DGS::Property> properties;
  for (std::int64_t i = 0; i < count; ++i) {
    DGS schema = DGS::scalar(DGS::ScalarType::boolean, {});
    switch (i % 4) {
      case 0: schema = DGS::scalar(DGS::ScalarType::string, {pattern(R"(\d{3}-\w+)")}); break;
      case 1: schema = DGS::scalar(DGS::ScalarType::integer, {GenerationGuide::range(std::int64_t{5}, std::int64_t{9})}); break;
      case 2: schema = DGS::scalar(DGS::ScalarType::number, {GenerationGuide::minimum(2.5)}); break;
      default: break;
    }
    properties.push_back({std::string("property") + std::to_string(i), std::nullopt, std::move(schema), false});
  }
  return GenerationSchema(DGS::object("Wide", std::nullopt, std::move(properties)), {});
}

// `count` definitions, each holding a value and an optional reference to the next (the last to
// the first); the root refers to every one of them.
GenerationSchema definitions(std::int64_t count) {
  std::vector<DGS> dependencies;
  std::vector<DGS::Property> roots;
  for (std::int64_t i = 0; i < count; ++i) {
    const std::string name = std::string("D") + std::to_string(i);
    dependencies.push_back(DGS::object(name, std::nullopt, {
        {"value", std::nullopt, DGS::scalar(DGS::ScalarType::integer, {}), false},
        {"next", std::nullopt, DGS::referenceTo(std::string("D") + std::to_string((i + 1) % count)), true},
    }));
    roots.push_back({std::string("d") + std::to_string(i), std::nullopt, DGS::referenceTo(name), false});
  }
  return GenerationSchema(DGS::object("Root", std::nullopt, std::move(roots)), std::move(dependencies));
}

// Objects nested `depth` deep, each with a value and the next level.
GenerationSchema nested(std::int64_t depth) {
  DGS inner = DGS::scalar(DGS::ScalarType::string, {});
  for (std::int64_t level = depth; level > 0; --level) {
    inner = DGS::object(std::string("Level") + std::to_string(level), std::nullopt, {
        {"value", std::nullopt, DGS::scalar(DGS::ScalarType::integer, {}), false},
        {"child", std::nullopt, std::move(inner), false},
    });
  }
  return GenerationSchema(std::move(inner), {});
}

void run(benchmark::State& state, const GenerationSchema& schema, double nodes) {
  const GenerationOptions greedy{SamplingMode::greedy(), std::nullopt, std::nullopt};
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string answer = StructuredGenerator::generate(schema, greedy, {});
    bytes = answer.size();
    benchmark::DoNotOptimize(answer);
  }
  state.counters["answer_bytes"] = static_cast<double>(bytes);
  state.counters["per_node"] = benchmark::Counter(nodes, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void GreedyWide(benchmark::State& state) {
  const auto schema = wide(state.range(0));
  run(state, schema, static_cast<double>(state.range(0)) + 1);
}
BENCHMARK(GreedyWide)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

void GreedyDefinitions(benchmark::State& state) {
  const auto schema = definitions(state.range(0));
  run(state, schema, 4.0 * static_cast<double>(state.range(0)) + 1);
}
BENCHMARK(GreedyDefinitions)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

void GreedyNested(benchmark::State& state) {
  const auto schema = nested(state.range(0));
  run(state, schema, 2.0 * static_cast<double>(state.range(0)) + 1);
}
BENCHMARK(GreedyNested)->Arg(32)->Unit(benchmark::kMicrosecond);

}  // namespace
