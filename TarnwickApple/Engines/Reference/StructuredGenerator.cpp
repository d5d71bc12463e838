// Generating a structured answer: an explicit stack of pending pieces walks the schema graph,
// so nesting costs no C++ stack. Every piece still to be written holds a reservation of its
// smallest size; a choice that makes the answer larger is taken only when the answer with all
// its reservations still fits, so growth never makes an answer fail.
#include "TarnwickApple/Engines/Reference/internal/StructuredGenerator.hpp"

#include <algorithm>
#include <vector>

#include "TarnwickApple/FoundationModels/LanguageModelSession.hpp"
#include "TarnwickApple/Engines/Reference/internal/Sampler.hpp"
#include "TarnwickApple/Engines/Reference/internal/SchemaGraph.hpp"

namespace TarnwickApple::Engines {
using namespace FoundationModels;
}  // namespace TarnwickApple::Engines

namespace TarnwickApple::Engines::StructuredGenerator {
namespace {

using Form = DynamicGenerationSchema::Form;

struct Piece {
  enum class Kind { value, key, comma, closeObject, closeArray, elements };
  Kind kind = Kind::value;
  std::size_t node = 0;
  std::uint32_t depth = 0;
  std::uint64_t reserved = 0;   // bytes held for this piece
  std::uint64_t count = 0;      // key: property index; elements: how many remain
  bool first = false;           // elements: no comma before the next one
};

std::uint64_t saturatingMultiply(std::uint64_t a, std::uint64_t n) {
  if (a == 0 || n == 0) return 0;
  return n > SchemaGraph::costCeiling / a ? SchemaGraph::costCeiling : std::min(a * n, SchemaGraph::costCeiling);
}

class Walk {
 public:
  Walk(const SchemaGraph& graph, Sampler& sampler, AnswerBuffer& out)
      : graph_(graph), sampler_(sampler), out_(out), growthLimit_(std::min(out.roomyBytes(), expansionBytes)) {}

  void run() {
    push({Piece::Kind::value, graph_.root(), 0, graph_.node(graph_.root()).cost});
    while (!stack_.empty()) {
      const Piece piece = stack_.back();
      stack_.pop_back();
      reserved_ -= piece.reserved;
      switch (piece.kind) {
        case Piece::Kind::value: value(piece); break;
        case Piece::Kind::key: out_.append(graph_.node(piece.node).keys[piece.count]); break;
        case Piece::Kind::comma: out_.append(','); break;
        case Piece::Kind::closeObject: out_.append('}'); break;
        case Piece::Kind::closeArray: out_.append(']'); break;
        case Piece::Kind::elements: elements(piece); break;
      }
    }
  }

 private:
  void push(Piece piece) {
    reserved_ += piece.reserved;
    stack_.push_back(piece);
  }

  // Bytes the answer may still grow by beyond everything reserved.
  std::uint64_t room() const {
    const std::uint64_t used = out_.size() + reserved_;
    return used < growthLimit_ ? growthLimit_ - used : 0;
  }

  void value(const Piece& piece) {
    const SchemaGraph::Node& node = graph_.node(piece.node);
    const bool expand = piece.depth < expansionDepth;
    switch (node.form) {
      case Form::reference:
        push({Piece::Kind::value, node.children[0], piece.depth + 1, graph_.node(node.children[0]).cost});
        return;
      case Form::anyOf:
        alternative(node, piece.depth, expand);
        return;
      case Form::object:
        object(node, piece.node, piece.depth, expand);
        return;
      case Form::array:
        array(node, piece.node, piece.depth, expand);
        return;
      case Form::choices:
        choice(node);
        return;
      case Form::scalar:
        if (sampler_.greedy()) node.scalar->appendCanonical(out_);
        else node.scalar->appendSampled(sampler_, out_, room());
        return;
    }
  }

  void alternative(const SchemaGraph::Node& node, std::uint32_t depth, bool expand) {
    std::size_t cheapest = node.children.front();
    for (const std::size_t child : node.children) {
      if (graph_.node(child).cost < graph_.node(cheapest).cost) cheapest = child;
    }
    std::size_t chosen = cheapest;
    if (expand) {
      const std::uint64_t least = graph_.node(cheapest).cost;
      std::vector<std::size_t> affordable;
      for (const std::size_t child : node.children) {
        const std::uint64_t cost = graph_.node(child).cost;
        if (cost != SchemaGraph::endless && cost - least <= room()) affordable.push_back(child);
      }
      chosen = sampler_.greedy() ? affordable.front() : affordable[sampler_.below(affordable.size())];
    }
    push({Piece::Kind::value, chosen, depth + 1, graph_.node(chosen).cost});
  }

  void object(const SchemaGraph::Node& node, std::size_t index, std::uint32_t depth, bool expand) {
    out_.append('{');
    const auto& properties = node.schema->properties();
    std::vector<bool> take(properties.size(), false);
    std::uint64_t held = 0;  // bytes of the included properties, before their pieces exist
    for (std::size_t k = 0; k < properties.size(); ++k) {
      if (properties[k].isOptional) continue;
      take[k] = true;
      held += node.keys[k].size() + 1 + graph_.node(node.children[k]).cost;
    }
    reserved_ += held;
    for (std::size_t k = 0; k < properties.size(); ++k) {
      if (!properties[k].isOptional || !expand) continue;
      const std::uint64_t cost = graph_.node(node.children[k]).cost;
      if (cost == SchemaGraph::endless) continue;
      const bool wanted = sampler_.greedy() || sampler_.coin();
      const std::uint64_t extra = node.keys[k].size() + 1 + cost;
      if (!wanted || extra > room()) continue;
      take[k] = true;
      held += extra;
      reserved_ += extra;
    }
    reserved_ -= held;
    const std::size_t firstTaken = static_cast<std::size_t>(std::find(take.begin(), take.end(), true) - take.begin());
    // Pushed last to first: each property's comma comes off the stack before its key.
    push({Piece::Kind::closeObject, index, depth, 1});
    for (std::size_t k = properties.size(); k-- > 0;) {
      if (!take[k]) continue;
      const std::size_t child = node.children[k];
      push({Piece::Kind::value, child, depth + 1, graph_.node(child).cost});
      push({Piece::Kind::key, index, depth, node.keys[k].size(), k});
      if (k != firstTaken) push({Piece::Kind::comma, index, depth, 1});
    }
  }

  void array(const SchemaGraph::Node& node, std::size_t index, std::uint32_t depth, bool expand) {
    const std::size_t element = node.children[0];
    const std::uint64_t elementCost = graph_.node(element).cost;
    const auto minimum = node.schema->minimumElements();
    const auto maximum = node.schema->maximumElements();
    const std::uint64_t least = minimum && *minimum > 0 ? static_cast<std::uint64_t>(*minimum) : 0;
    std::uint64_t count = least;
    if (expand && elementCost != SchemaGraph::endless) {
      const std::uint64_t most = maximum ? std::max<std::uint64_t>(least, static_cast<std::uint64_t>(std::max<std::int64_t>(*maximum, 0)))
                                         : least + extraElements;
      std::uint64_t wanted = least;
      if (sampler_.greedy()) wanted = least == 0 && most >= 1 ? 1 : least;
      else wanted = least + sampler_.below(std::min(most - least, extraElements) + 1);
      // The elements beyond the minimum each cost an element and a comma.
      const std::uint64_t affordable = room() / (elementCost + 1);
      count = least + std::min(wanted - least, affordable);
    }
    out_.append('[');
    push({Piece::Kind::closeArray, index, depth, 1});
    if (count > 0) {
      push({Piece::Kind::elements, index, depth, saturatingMultiply(elementCost + 1, count), count, true});
    }
  }

  void elements(const Piece& piece) {
    if (!piece.first) out_.append(',');
    const std::size_t element = graph_.node(piece.node).children[0];
    const std::uint64_t elementCost = graph_.node(element).cost;
    if (piece.count > 1) {
      push({Piece::Kind::elements, piece.node, piece.depth, saturatingMultiply(elementCost + 1, piece.count - 1),
            piece.count - 1, false});
    }
    push({Piece::Kind::value, element, piece.depth + 1, elementCost});
  }

  void choice(const SchemaGraph::Node& node) {
    const std::uint64_t least = node.choices[node.shortestChoice].size();
    std::vector<std::size_t> affordable;
    for (std::size_t c = 0; c < node.choices.size(); ++c) {
      if (node.choices[c].size() - least <= room()) affordable.push_back(c);
    }
    const std::size_t chosen = affordable.empty() ? node.shortestChoice
                               : sampler_.greedy() ? affordable.front()
                                                   : affordable[sampler_.below(affordable.size())];
    out_.append(node.choices[chosen]);
  }

  const SchemaGraph& graph_;
  Sampler& sampler_;
  AnswerBuffer& out_;
  std::size_t growthLimit_;
  std::vector<Piece> stack_;
  std::uint64_t reserved_ = 0;
};

}  // namespace

std::string generate(const GenerationSchema& schema, const GenerationOptions& options, const AnswerLimits& limits) {
  const SchemaGraph graph(schema);
  Sampler sampler(options);
  AnswerBuffer out(limits);
  Walk(graph, sampler, out).run();
  return std::move(out).finish();
}

}  // namespace TarnwickApple::Engines::StructuredGenerator
