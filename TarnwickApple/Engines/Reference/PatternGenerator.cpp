// Generating strings from a rewritten pattern: a small recursive-descent reader builds a tree
// of groups, alternatives and quantified items; generation walks it.
#include "TarnwickApple/Engines/Reference/internal/PatternGenerator.hpp"

#include <algorithm>
#include <string_view>
#include <vector>

#include "TarnwickApple/FoundationModels/LanguageModelSession.hpp"
#include "TarnwickApple/Text/Unicode.hpp"

namespace TarnwickApple::Engines {
using namespace FoundationModels;

struct PatternGenerator::Tree {
  struct Item {
    enum class Kind { literal, digit, word, any, group };
    Kind kind = Kind::literal;
    std::string literal;       // literal: one character's bytes
    std::size_t group = 0;     // group: index into `groups`
    std::uint64_t minimum = 1;
    std::optional<std::uint64_t> maximum = 1;  // nothing: unbounded
    std::uint64_t shortestOnce = 0;            // bytes of one shortest repetition
  };
  struct Group {
    std::vector<std::vector<Item>> alternatives;
    std::uint64_t shortest = 0;
    std::size_t shortestAlternative = 0;
  };
  std::vector<Group> groups;  // the whole pattern is the last group read
  std::size_t top = 0;
};

namespace {

using Tree = PatternGenerator::Tree;
using Item = Tree::Item;

// Lengths saturate here: far beyond any answer that could be written.
constexpr std::uint64_t lengthCeiling = std::uint64_t{1} << 40;
// Repetition counts saturate here; larger counts run into the answer's size limit all the same.
constexpr std::uint64_t countCeiling = std::uint64_t{1} << 32;

constexpr std::string_view metacharacters = "\\.*+?()[]{}|^$";
constexpr std::string_view wordCharacters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_";
// What a random "." writes: letters, digits and a space, nothing that is a line break.
constexpr std::string_view anyCharacters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ";

std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b) { return std::min(a + b, lengthCeiling); }
std::uint64_t saturatingMultiply(std::uint64_t a, std::uint64_t b) {
  if (a == 0 || b == 0) return 0;
  return a > lengthCeiling / b ? lengthCeiling : std::min(a * b, lengthCeiling);
}

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  std::optional<Tree> read() {
    const auto top = alternation(0);
    if (!top || position_ != text_.size()) return std::nullopt;
    tree_.top = *top;
    return std::move(tree_);
  }

 private:
  // alternation := sequence ("|" sequence)*
  std::optional<std::size_t> alternation(std::size_t nesting) {
    if (nesting > PatternGenerator::maximumNesting) return std::nullopt;
    Tree::Group group;
    while (true) {
      auto sequence = this->sequence(nesting);
      if (!sequence) return std::nullopt;
      group.alternatives.push_back(std::move(*sequence));
      if (position_ < text_.size() && text_[position_] == '|') {
        ++position_;
        continue;
      }
      break;
    }
    return finish(std::move(group));
  }

  // sequence := (atom quantifier*)*, up to "|", ")" or the end
  std::optional<std::vector<Item>> sequence(std::size_t nesting) {
    std::vector<Item> items;
    while (position_ < text_.size() && text_[position_] != '|' && text_[position_] != ')') {
      auto item = atom(nesting);
      if (!item) return std::nullopt;
      std::size_t wraps = 0;
      while (position_ < text_.size() && isQuantifierStart(text_[position_])) {
        // A quantifier of a quantified item repeats the whole: it becomes a group of its own.
        if (wraps++ > 0 || item->minimum != 1 || item->maximum != std::optional<std::uint64_t>(1)) {
          if (nesting + wraps > PatternGenerator::maximumNesting) return std::nullopt;
          item->shortestOnce = shortestOnce(*item);
          Tree::Group wrapper;
          wrapper.alternatives.push_back({std::move(*item)});
          Item grouped;
          grouped.kind = Item::Kind::group;
          grouped.group = finish(std::move(wrapper));
          item = std::move(grouped);
        }
        if (!quantifier(*item)) return std::nullopt;
      }
      item->shortestOnce = shortestOnce(*item);
      items.push_back(std::move(*item));
    }
    return items;
  }

  static bool isQuantifierStart(char c) { return c == '*' || c == '+' || c == '?' || c == '{'; }

  std::optional<Item> atom(std::size_t nesting) {
    Item item;
    const char c = text_[position_];
    switch (c) {
      case '(': {
        ++position_;
        if (position_ < text_.size() && text_[position_] == '?') {
          if (position_ + 1 >= text_.size() || text_[position_ + 1] != ':') return std::nullopt;
          position_ += 2;
        }
        const auto group = alternation(nesting + 1);
        if (!group || position_ >= text_.size() || text_[position_] != ')') return std::nullopt;
        ++position_;
        item.kind = Item::Kind::group;
        item.group = *group;
        return item;
      }
      case '\\': {
        if (position_ + 1 >= text_.size()) return std::nullopt;
        const char escaped = text_[position_ + 1];
        position_ += 2;
        if (escaped == 'd') item.kind = Item::Kind::digit;
        else if (escaped == 'w') item.kind = Item::Kind::word;
        else if (metacharacters.find(escaped) != std::string_view::npos) item.literal = std::string(1, escaped);
        else return std::nullopt;
        return item;
      }
      case '.':
        ++position_;
        item.kind = Item::Kind::any;
        return item;
      case '*': case '+': case '?': case '{': case '[': case ']': case '^': case '$': case ')': case '|':
        return std::nullopt;
      default: {
        const std::size_t length = std::min(Unicode::scalarLength(static_cast<unsigned char>(c)), text_.size() - position_);
        item.literal = std::string(text_.substr(position_, length));
        position_ += length;
        return item;
      }
    }
  }

  // quantifier := ("*" | "+" | "?" | "{" n ("," m?)? "}") ("?" | "+")?
  bool quantifier(Item& item) {
    const char c = text_[position_++];
    if (c == '*') {
      item.minimum = 0;
      item.maximum.reset();
    } else if (c == '+') {
      item.minimum = 1;
      item.maximum.reset();
    } else if (c == '?') {
      item.minimum = 0;
      item.maximum = 1;
    } else {
      const auto low = number();
      if (!low || position_ >= text_.size()) return false;
      item.minimum = *low;
      item.maximum = *low;
      if (text_[position_] == ',') {
        ++position_;
        item.maximum.reset();
        if (position_ < text_.size() && text_[position_] != '}') {
          const auto high = number();
          if (!high || *high < *low) return false;
          item.maximum = *high;
        }
      }
      if (position_ >= text_.size() || text_[position_] != '}') return false;
      ++position_;
    }
    // Lazy and possessive forms describe the same strings.
    if (position_ < text_.size() && (text_[position_] == '?' || text_[position_] == '+')) ++position_;
    return true;
  }

  std::optional<std::uint64_t> number() {
    const std::size_t start = position_;
    std::uint64_t value = 0;
    while (position_ < text_.size() && text_[position_] >= '0' && text_[position_] <= '9') {
      value = std::min(value * 10 + static_cast<std::uint64_t>(text_[position_] - '0'), countCeiling);
      ++position_;
    }
    if (position_ == start) return std::nullopt;
    return value;
  }

  std::uint64_t shortestOnce(const Item& item) const {
    switch (item.kind) {
      case Item::Kind::literal: return item.literal.size();
      case Item::Kind::digit:
      case Item::Kind::word:
      case Item::Kind::any: return 1;
      case Item::Kind::group: return tree_.groups[item.group].shortest;
    }
    return 0;
  }

  std::size_t finish(Tree::Group group) {
    group.shortest = lengthCeiling;
    for (std::size_t a = 0; a < group.alternatives.size(); ++a) {
      std::uint64_t length = 0;
      for (const Item& item : group.alternatives[a]) length = saturatingAdd(length, saturatingMultiply(item.shortestOnce, item.minimum));
      if (a == 0 || length < group.shortest) {
        group.shortest = length;
        group.shortestAlternative = a;
      }
    }
    tree_.groups.push_back(std::move(group));
    return tree_.groups.size() - 1;
  }

  std::string_view text_;
  std::size_t position_ = 0;
  Tree tree_;
};

// Generation over the tree; recursion follows the groups, whose nesting the reader bounded.
class Writer {
 public:
  Writer(const Tree& tree, Sampler* sampler, std::string& out, AnswerBuffer& guard)
      : tree_(tree), sampler_(sampler), out_(out), guard_(guard) {}

  void group(std::size_t index) {
    const Tree::Group& group = tree_.groups[index];
    const std::size_t chosen = sampler_ ? static_cast<std::size_t>(sampler_->below(group.alternatives.size()))
                                        : group.shortestAlternative;
    for (const Item& item : group.alternatives[chosen]) repeat(item);
  }

 private:
  void repeat(const Item& item) {
    std::uint64_t count = item.minimum;
    if (sampler_) {
      const std::uint64_t room = item.maximum ? *item.maximum - item.minimum : PatternGenerator::extraRepetitions;
      count += sampler_->below(std::min(room, PatternGenerator::extraRepetitions) + 1);
    }
    // A repetition whose body may write nothing runs at most once: the rest match the empty
    // string, and nested ones would otherwise multiply into work that writes no byte.
    if (item.shortestOnce == 0) count = std::min<std::uint64_t>(count, sampler_ ? 1 : 0);
    for (std::uint64_t i = 0; i < count; ++i) {
      once(item);
      guard_.watch(out_);
    }
  }

  void once(const Item& item) {
    if (++steps_ > PatternGenerator::maximumSteps) {
      throw LanguageModelSession::GenerationError(LanguageModelSession::GenerationError::Case::exceededContextWindowSize,
                                                  {"the pattern's answer takes more steps than the generation budget"});
    }
    switch (item.kind) {
      case Item::Kind::literal:
        out_ += item.literal;
        return;
      case Item::Kind::digit:
        out_ += sampler_ ? static_cast<char>('0' + sampler_->below(10)) : '0';
        return;
      case Item::Kind::word:
        out_ += sampler_ ? wordCharacters[sampler_->below(wordCharacters.size())] : 'a';
        return;
      case Item::Kind::any:
        out_ += sampler_ ? anyCharacters[sampler_->below(anyCharacters.size())] : 'a';
        return;
      case Item::Kind::group:
        group(item.group);
        return;
    }
  }

  const Tree& tree_;
  Sampler* sampler_;
  std::string& out_;
  AnswerBuffer& guard_;
  std::uint64_t steps_ = 0;
};

}  // namespace

std::optional<PatternGenerator> PatternGenerator::parse(std::string_view pattern) {
  auto tree = Reader(pattern).read();
  if (!tree) return std::nullopt;
  return PatternGenerator(std::make_shared<const Tree>(std::move(*tree)));
}

std::uint64_t PatternGenerator::shortestLength() const { return tree_->groups[tree_->top].shortest; }

void PatternGenerator::appendShortest(std::string& out, AnswerBuffer& guard) const {
  Writer(*tree_, nullptr, out, guard).group(tree_->top);
}

void PatternGenerator::appendSampled(Sampler& sampler, std::string& out, AnswerBuffer& guard) const {
  Writer(*tree_, &sampler, out, guard).group(tree_->top);
}

}  // namespace TarnwickApple::Engines
