// A generation schema laid out for generation: every node once, references resolved to the
// named form they name, and for each node the size of the smallest answer that finishes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "TarnwickApple/FoundationModels/DynamicGenerationSchema.hpp"
#include "TarnwickApple/FoundationModels/GenerationSchema.hpp"
#include "TarnwickApple/Engines/Reference/internal/ScalarGenerator.hpp"

namespace TarnwickApple::Engines {
using namespace FoundationModels;

class SchemaGraph {
 public:
  // The cost of a node no finite answer finishes.
  static constexpr std::uint64_t endless = UINT64_MAX;
  // Finite costs saturate here, far beyond any answer that can be written, so that sums of
  // them stay exact in 64 bits.
  static constexpr std::uint64_t costCeiling = std::uint64_t{1} << 36;

  struct Node {
    DynamicGenerationSchema::Form form = DynamicGenerationSchema::Form::scalar;
    const DynamicGenerationSchema* schema = nullptr;
    // object: the property schemas; anyOf: the alternatives; array: the element;
    // reference: the named form it names.
    std::vector<std::size_t> children;
    std::vector<std::string> keys;     // object: `"name":` of each property
    std::vector<std::string> choices;  // choices: each string as JSON text
    std::size_t shortestChoice = 0;
    std::optional<ScalarGenerator> scalar;
    bool possible = true;              // false: no value satisfies its own guides or strings
    // Bytes of the smallest finished answer, plus one per node on the way (so that the smallest
    // way out always gets strictly smaller); `endless` when there is none.
    std::uint64_t cost = endless;
  };

  // Throws GenerationError: exceededContextWindowSize when the schema has no finite answer at
  // all (a cycle of required parts), decodingFailure when every finite answer needs a value
  // that no guide admits.
  explicit SchemaGraph(const GenerationSchema& schema);

  const Node& node(std::size_t index) const { return nodes_[index]; }
  std::size_t root() const { return 0; }
  std::size_t size() const { return nodes_.size(); }

 private:
  void layOut(const GenerationSchema& schema);
  // Costs by a generalised Dijkstra search; impossible values count as possible when
  // `ignoreImpossible`, which tells an endless schema from an unsatisfiable one.
  std::vector<std::uint64_t> costs(bool ignoreImpossible) const;

  std::vector<Node> nodes_;
};

}  // namespace TarnwickApple::Engines
