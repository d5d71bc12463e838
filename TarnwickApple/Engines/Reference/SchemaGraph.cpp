// Laying out a generation schema for generation, and the minimum cost of finishing each node.
#include "TarnwickApple/Engines/Reference/internal/SchemaGraph.hpp"

#include <algorithm>
#include <functional>
#include <queue>
#include <unordered_map>
#include <utility>

#include "TarnwickApple/FoundationModels/LanguageModelSession.hpp"
#include "TarnwickApple/JSON/JSONText.hpp"

namespace TarnwickApple::Engines {
using namespace FoundationModels;
namespace {

using Form = DynamicGenerationSchema::Form;
using GenerationError = LanguageModelSession::GenerationError;

std::uint64_t add(std::uint64_t a, std::uint64_t b) { return std::min(a + b, SchemaGraph::costCeiling); }
std::uint64_t multiply(std::uint64_t a, std::uint64_t n) {
  if (a == 0 || n == 0) return 0;
  return n > SchemaGraph::costCeiling / a ? SchemaGraph::costCeiling : std::min(a * n, SchemaGraph::costCeiling);
}

std::uint64_t minimumElements(const DynamicGenerationSchema& array) {
  const auto minimum = array.minimumElements();
  return minimum && *minimum > 0 ? static_cast<std::uint64_t>(*minimum) : 0;
}

}  // namespace

SchemaGraph::SchemaGraph(const GenerationSchema& schema) {
  layOut(schema);
  const std::vector<std::uint64_t> cost = costs(false);
  if (cost[root()] == endless) {
    if (costs(true)[root()] == endless) {
      throw GenerationError(GenerationError::Case::exceededContextWindowSize,
                            {"the schema has no finite answer: its required parts repeat without end"});
    }
    throw GenerationError(GenerationError::Case::decodingFailure,
                          {"every answer to the schema needs a value that its guides refuse"});
  }
  for (std::size_t i = 0; i < nodes_.size(); ++i) nodes_[i].cost = cost[i];
}

void SchemaGraph::layOut(const GenerationSchema& schema) {
  // One node per schema value reached from the root; named forms reached through references
  // are laid out once each. An explicit queue keeps the C++ stack flat however deep the schema.
  std::unordered_map<const DynamicGenerationSchema*, std::size_t> namedNodes;
  std::vector<std::size_t> waiting;
  const auto place = [&](const DynamicGenerationSchema& value) {
    Node node;
    node.form = value.form();
    node.schema = &value;
    nodes_.push_back(std::move(node));
    waiting.push_back(nodes_.size() - 1);
    return nodes_.size() - 1;
  };
  place(schema.root());
  while (!waiting.empty()) {
    const std::size_t index = waiting.back();
    waiting.pop_back();
    const DynamicGenerationSchema& value = *nodes_[index].schema;
    std::vector<std::size_t> children;
    switch (value.form()) {
      case Form::reference: {
        const DynamicGenerationSchema* target = schema.named(value.name());
        if (!target) {
          nodes_[index].possible = false;  // assembly refuses such schemas; nothing to follow
          break;
        }
        const auto found = namedNodes.find(target);
        if (found != namedNodes.end()) {
          children.push_back(found->second);
        } else {
          const std::size_t placed = place(*target);
          namedNodes.emplace(target, placed);
          children.push_back(placed);
        }
        break;
      }
      case Form::choices: {
        Node& node = nodes_[index];
        for (const std::string& choice : value.choices()) {
          std::string text;
          JSONText::appendString(text, choice);
          if (text.size() < (node.choices.empty() ? SIZE_MAX : node.choices[node.shortestChoice].size())) {
            node.shortestChoice = node.choices.size();
          }
          node.choices.push_back(std::move(text));
        }
        node.possible = !node.choices.empty();
        break;
      }
      case Form::anyOf:
        for (const DynamicGenerationSchema& alternative : value.alternatives()) children.push_back(place(alternative));
        break;
      case Form::object: {
        std::vector<std::string> keys;
        keys.reserve(value.properties().size());
        for (const DynamicGenerationSchema::Property& property : value.properties()) {
          std::string key;
          JSONText::appendString(key, property.name);
          key += ':';
          keys.push_back(std::move(key));
          children.push_back(place(property.schema));
        }
        nodes_[index].keys = std::move(keys);
        break;
      }
      case Form::array:
        children.push_back(place(value.element()));
        break;
      case Form::scalar:
        nodes_[index].scalar.emplace(value);
        nodes_[index].possible = nodes_[index].scalar->possible();
        break;
    }
    nodes_[index].children = std::move(children);
  }
}

std::vector<std::uint64_t> SchemaGraph::costs(bool ignoreImpossible) const {
  // A node's cost is known once the costs it depends on are: all required properties of an
  // object, the element of an array that needs elements, the cheapest alternative of a union,
  // the target of a reference. Nodes are settled cheapest first, as in Dijkstra's search, so the
  // first settled alternative is the cheapest; nodes never settled cannot be finished.
  const std::size_t count = nodes_.size();
  std::vector<std::uint64_t> cost(count, endless);
  std::vector<std::size_t> pending(count, 0);
  std::vector<std::vector<std::size_t>> dependents(count);
  using Entry = std::pair<std::uint64_t, std::size_t>;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<>> queue;

  const auto required = [&](const Node& node, std::size_t k) {
    return !node.schema->properties()[k].isOptional;
  };
  // object := "{" (key value ","?)* "}" over the required properties; array := "[" element{min} "]"
  const auto settledCost = [&](std::size_t index) {
    const Node& node = nodes_[index];
    std::uint64_t total = 3;  // the brackets, and one for the node
    if (node.form == Form::object) {
      std::uint64_t requiredCount = 0;
      for (std::size_t k = 0; k < node.children.size(); ++k) {
        if (!required(node, k)) continue;
        total = add(total, add(node.keys[k].size() + 1, cost[node.children[k]]));
        ++requiredCount;
      }
      return requiredCount > 0 ? total - 1 : total;
    }
    const std::uint64_t elements = minimumElements(*node.schema);
    return add(total, multiply(add(cost[node.children[0]], 1), elements) - (elements > 0 ? 1 : 0));
  };

  for (std::size_t index = 0; index < count; ++index) {
    const Node& node = nodes_[index];
    const bool possible = node.possible || ignoreImpossible;
    switch (node.form) {
      case Form::scalar:
        if (possible) queue.emplace(add(1, node.scalar->canonicalSize()), index);
        break;
      case Form::choices:
        if (node.possible) queue.emplace(add(1, node.choices[node.shortestChoice].size()), index);
        else if (ignoreImpossible) queue.emplace(3, index);
        break;
      case Form::reference:
        if (!node.possible && ignoreImpossible) queue.emplace(1, index);
        for (const std::size_t child : node.children) dependents[child].push_back(index);
        break;
      case Form::anyOf:
        if (node.children.empty() && ignoreImpossible) queue.emplace(1, index);
        for (const std::size_t child : node.children) dependents[child].push_back(index);
        break;
      case Form::object:
        for (std::size_t k = 0; k < node.children.size(); ++k) {
          if (!required(node, k)) continue;
          ++pending[index];
          dependents[node.children[k]].push_back(index);
        }
        if (pending[index] == 0) queue.emplace(settledCost(index), index);
        break;
      case Form::array:
        if (minimumElements(*node.schema) == 0) {
          queue.emplace(settledCost(index), index);
        } else {
          pending[index] = 1;
          dependents[node.children[0]].push_back(index);
        }
        break;
    }
  }

  std::vector<bool> settled(count, false);
  while (!queue.empty()) {
    const auto [value, index] = queue.top();
    queue.pop();
    if (settled[index]) continue;
    settled[index] = true;
    cost[index] = value;
    for (const std::size_t dependent : dependents[index]) {
      if (settled[dependent]) continue;
      switch (nodes_[dependent].form) {
        case Form::reference:
        case Form::anyOf:
          queue.emplace(add(value, 1), dependent);
          break;
        case Form::object:
        case Form::array:
          if (--pending[dependent] == 0) queue.emplace(settledCost(dependent), dependent);
          break;
        case Form::scalar:
        case Form::choices:
          break;  // leaves depend on nothing
      }
    }
  }
  return cost;
}

}  // namespace TarnwickApple::Engines
