// Translation plus description of wide, cross-referencing and deeply nested schemas, reported as
// time per schema node so that growth can be compared across sizes.
#include <benchmark/benchmark.h>

#include <string>

#include "TarnwickApple/JSON/JSONValue.hpp"
#include "TarnwickApple/Schema/SchemaExplanation.hpp"
#include "TarnwickApple/Schema/SchemaTranslator.hpp"

namespace {

using TarnwickApple::JSONValue;

// One property schema of each common form, cycled through by index.
std::string propertySchema(std::int64_t i) {
  switch (i % 5) {
    case 0: return R"({"type":"string","description":"free text"})";
    case 1: return R"({"type":"integer","minimum":0,"maximum":100})";
    case 2: return R"({"type":"number","exclusiveMinimum":0.5})";
    case 3: return R"({"enum":["red","green","blue"]})";
    default: return R"({"type":"array","items":{"type":"boolean"},"maxItems":4})";
  }
}

// {"type":"object","properties":{p0..pN-1}} with every fifth property required.
std::string wideSchema(std::int64_t properties) {
  std::string schema = R"({"type":"object","properties":{)";
  std::string required;
  for (std::int64_t i = 0; i < properties; ++i) {
    if (i) schema += ',';
    schema += "\"field_" + std::to_string(i) + "\":" + propertySchema(i);
    if (i % 5 == 0) required += (required.empty() ? "\"field_" : ",\"field_") + std::to_string(i) + "\"";
  }
  return schema + "},\"required\":[" + required + "]}";
}

// Definitions D0..Dn-1, each an object referring to the next two, the root referring to D0.
std::string definitionsSchema(std::int64_t definitions) {
  std::string schema = R"({"$defs":{)";
  for (std::int64_t i = 0; i < definitions; ++i) {
    if (i) schema += ',';
    schema += "\"D" + std::to_string(i) + R"(":{"type":"object","properties":{"next":{"$ref":"#/$defs/D)" +
              std::to_string((i + 1) % definitions) + R"("},"other":{"$ref":"#/$defs/D)" +
              std::to_string((i + 2) % definitions) + R"("},"label":{"type":"string"}},"required":["label"]})";
  }
  return schema + R"(},"$ref":"#/$defs/D0"})";
}

// Objects at depths 0 to depth-1, each with ten scalar siblings of its child; the last one's
// child is a boolean at `depth`, so 32 is the deepest that translates.
std::string nestedSchema(std::int64_t depth) {
  std::string schema;
  for (std::int64_t level = 0; level < depth; ++level) {
    schema += R"({"type":"object","properties":{)";
    for (int i = 0; i < 10; ++i) schema += "\"s" + std::to_string(i) + "\":" + propertySchema(i % 4) + ",";
    schema += R"("child":)";
  }
  schema += R"({"type":"boolean"})";
  for (std::int64_t level = 0; level < depth; ++level) schema += "}}";
  return schema;
}

void run(benchmark::State& state, const std::string& text, std::int64_t nodes) {
  const JSONValue document = JSONValue::decode(text);
  std::size_t written = 0;
  for (auto _ : state) {
    const auto schema = TarnwickApple::SchemaTranslator::generationSchema(document);
    const std::string description = schema.description();
    written = description.size();
    benchmark::DoNotOptimize(description.data());
  }
  state.counters["nodes"] = static_cast<double>(nodes);
  state.counters["description_bytes"] = static_cast<double>(written);
  state.counters["per_node"] =
      benchmark::Counter(static_cast<double>(nodes), benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}

// Nodes: the object, each property schema, and each array's element.
void BM_WideObject(benchmark::State& state) {
  const std::int64_t properties = state.range(0);
  run(state, wideSchema(properties), 1 + properties + properties / 5);
}
BENCHMARK(BM_WideObject)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// Nodes: the root reference, and per definition the object and its three properties.
void BM_CrossReferencingDefinitions(benchmark::State& state) {
  const std::int64_t definitions = state.range(0);
  run(state, definitionsSchema(definitions), 1 + 4 * definitions);
}
BENCHMARK(BM_CrossReferencingDefinitions)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

// Nodes per level: the object and its ten siblings; plus the boolean at the bottom.
void BM_NestedObjects(benchmark::State& state) {
  const std::int64_t depth = state.range(0);
  run(state, nestedSchema(depth), depth * 11 + 1);
}
BENCHMARK(BM_NestedObjects)->Arg(3)->Arg(32)->Unit(benchmark::kMicrosecond);

// The checker's explained translation of the wide object: the same work plus the notes, against
// BM_WideObject above in the same run.
void BM_WideObjectExplained(benchmark::State& state) {
  const std::int64_t properties = state.range(0);
  const JSONValue document = JSONValue::decode(wideSchema(properties));
  std::size_t notes = 0;
  for (auto _ : state) {
    const auto explained = TarnwickApple::SchemaTranslator::explained(document);
    const std::string description = explained.schema->description();
    notes = explained.notes.size();
    benchmark::DoNotOptimize(description.data());
  }
  state.counters["notes"] = static_cast<double>(notes);
}
BENCHMARK(BM_WideObjectExplained)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace
