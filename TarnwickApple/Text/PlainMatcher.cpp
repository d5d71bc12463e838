// A Thompson automaton for plain patterns, run as a Pike machine: one list of live states per
// character, each state at most once, so a match costs instructions times characters.
#include "TarnwickApple/Text/internal/PlainMatcher.hpp"

#include <unicode/uchar.h>

#include <vector>

#include "TarnwickApple/Text/PlainPattern.hpp"
#include "TarnwickApple/Text/Unicode.hpp"

namespace TarnwickApple::RegexPattern {

struct PlainMatcher::Program {
  enum class Op { literal, digit, word, any, split, jump, match };
  struct Instruction {
    Op op;
    char32_t scalar = 0;  // literal
    std::size_t x = 0;    // split: preferred branch; jump: target
    std::size_t y = 0;    // split: other branch
  };
  std::vector<Instruction> code;
};

namespace {

using Program = PlainMatcher::Program;
using Op = Program::Op;

// ICU's classes: \d is \p{Nd}; \w is [\p{Alphabetic}\p{M}\p{Nd}\p{Pc}\u200C\u200D]; "." is any
// scalar but a line terminator.
bool isDigit(char32_t c) { return u_charType(static_cast<UChar32>(c)) == U_DECIMAL_DIGIT_NUMBER; }
bool isWord(char32_t c) {
  if (c == 0x200C || c == 0x200D) return true;
  if (u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_ALPHABETIC)) return true;
  switch (u_charType(static_cast<UChar32>(c))) {
    case U_NON_SPACING_MARK: case U_ENCLOSING_MARK: case U_COMBINING_SPACING_MARK:
    case U_DECIMAL_DIGIT_NUMBER: case U_CONNECTOR_PUNCTUATION:
      return true;
    default:
      return false;
  }
}
bool isAny(char32_t c) { return !((c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029); }

char32_t decode(std::string_view text, std::size_t& i) {
  const std::size_t length = std::min(Unicode::scalarLength(static_cast<unsigned char>(text[i])), text.size() - i);
  const char32_t scalar = Unicode::firstScalar(text.substr(i, length)).value_or(0xFFFD);
  i += std::max<std::size_t>(length, 1);
  return scalar;
}

// Emits code straight from the pattern text; a pattern already known to be plain needs no
// error handling beyond the size limit.
class Emitter {
 public:
  explicit Emitter(std::string_view p) : p_(p) {}

  bool emit(Program& program) {
    program_ = &program;
    if (!alternation()) return false;
    push({Op::match});
    return true;
  }

 private:
  // alternation := sequence ("|" sequence)*, emitted as a chain of splits.
  bool alternation() {
    std::vector<std::size_t> exits;
    while (true) {
      const std::size_t split = size();
      const bool more = hasAnotherAlternative();
      if (more) push({Op::split});
      if (!sequence()) return false;
      if (!more) break;
      exits.push_back(size());
      push({Op::jump});
      at(split).x = split + 1;
      at(split).y = size();
      ++i_;  // "|"
    }
    for (std::size_t exit : exits) at(exit).x = size();
    return size() <= PlainMatcher::maximumInstructions;
  }

  // True when a "|" of this level follows the current sequence.
  bool hasAnotherAlternative() const {
    std::size_t depth = 0;
    for (std::size_t k = i_; k < p_.size(); ++k) {
      const char c = p_[k];
      if (c == '\\') ++k;
      else if (c == '(') ++depth;
      else if (c == ')') {
        if (depth == 0) return false;
        --depth;
      } else if (c == '|' && depth == 0) return true;
    }
    return false;
  }

  bool sequence() {
    while (i_ < p_.size() && p_[i_] != '|' && p_[i_] != ')') {
      const std::size_t atomStart = i_;
      const std::size_t codeStart = size();
      if (!atom()) return false;
      if (i_ < p_.size() && (p_[i_] == '*' || p_[i_] == '+' || p_[i_] == '?' || p_[i_] == '{')) {
        if (!quantified(atomStart, codeStart)) return false;
      }
    }
    return true;
  }

  bool atom() {
    // Copies of copies that write nothing ("((a{0}){3}){3}...") still cost reading: count atoms.
    if (++atomsRead_ > 4 * PlainMatcher::maximumInstructions) return false;
    const char c = p_[i_];
    if (c == '(') {
      i_ += 3;  // "(?:"
      if (!alternation()) return false;
      ++i_;  // ")"
      return true;
    }
    if (c == '\\') {
      const char e = p_[i_ + 1];
      i_ += 2;
      if (e == 'd') push({Op::digit});
      else if (e == 'w') push({Op::word});
      else push({Op::literal, static_cast<char32_t>(e)});
      return size() <= PlainMatcher::maximumInstructions;
    }
    if (c == '.') {
      ++i_;
      push({Op::any});
      return true;
    }
    push({Op::literal, decode(p_, i_)});
    return size() <= PlainMatcher::maximumInstructions;
  }

  std::size_t number() {
    std::size_t value = 0;
    while (p_[i_] >= '0' && p_[i_] <= '9') value = value * 10 + static_cast<std::size_t>(p_[i_++] - '0');
    return value;
  }

  // The atom at `atomStart` (its code at `codeStart`) repeated: min copies, then either a loop
  // or (max - min) optional copies.
  bool quantified(std::size_t atomStart, std::size_t codeStart) {
    const std::size_t atomEnd = i_;
    std::size_t low = 1, high = 1;
    bool unbounded = false;
    const char q = p_[i_++];
    if (q == '*') low = 0, unbounded = true;
    else if (q == '+') unbounded = true;
    else if (q == '?') low = 0;
    else {
      low = high = number();
      if (p_[i_] == ',') {
        ++i_;
        if (p_[i_] == '}') unbounded = true;
        else high = number();
      }
      ++i_;  // "}"
    }
    if (i_ < p_.size() && p_[i_] == '?') ++i_;  // lazy: the same language
    const std::size_t after = i_;
    program_->code.resize(codeStart);  // re-emitted copy by copy below
    const auto copy = [&] {
      i_ = atomStart;
      const bool fits = atom();
      i_ = atomEnd;
      return fits && size() <= PlainMatcher::maximumInstructions;
    };
    for (std::size_t n = 0; n < low; ++n) {
      if (!copy()) return false;
    }
    if (unbounded) {
      // L: split body, out; body; jump L
      const std::size_t loop = size();
      push({Op::split});
      if (!copy()) return false;
      push({Op::jump, 0, loop});
      at(loop).x = loop + 1;
      at(loop).y = size();
    } else {
      std::vector<std::size_t> splits;
      for (std::size_t n = low; n < high; ++n) {
        splits.push_back(size());
        push({Op::split});
        if (!copy()) return false;
      }
      for (std::size_t s : splits) {
        at(s).x = s + 1;
        at(s).y = size();
      }
    }
    i_ = after;
    return size() <= PlainMatcher::maximumInstructions;
  }

  void push(Program::Instruction instruction) { program_->code.push_back(instruction); }
  std::size_t size() const { return program_->code.size(); }
  Program::Instruction& at(std::size_t k) { return program_->code[k]; }

  std::string_view p_;
  std::size_t i_ = 0;
  std::size_t atomsRead_ = 0;
  Program* program_ = nullptr;
};

// Adds state `pc` and everything it reaches without reading, each once per step.
void add(const Program& program, std::vector<std::size_t>& list, std::vector<std::size_t>& mark, std::size_t step,
         std::size_t pc, std::vector<std::size_t>& stack) {
  stack.push_back(pc);
  while (!stack.empty()) {
    const std::size_t k = stack.back();
    stack.pop_back();
    if (mark[k] == step) continue;
    mark[k] = step;
    const auto& instruction = program.code[k];
    switch (instruction.op) {
      case Op::jump:
        stack.push_back(instruction.x);
        break;
      case Op::split:
        stack.push_back(instruction.y);
        stack.push_back(instruction.x);
        break;
      case Op::literal: case Op::digit: case Op::word: case Op::any: case Op::match:
        list.push_back(k);
        break;
    }
  }
}

}  // namespace

std::optional<PlainMatcher> PlainMatcher::compile(std::string_view pattern) {
  if (!isPlain(pattern)) return std::nullopt;
  auto program = std::make_shared<Program>();
  if (!Emitter(pattern).emit(*program)) return std::nullopt;
  return PlainMatcher(std::move(program));
}

std::size_t PlainMatcher::workBound(std::string_view text) const { return program_->code.size() * (text.size() + 1); }

std::optional<bool> PlainMatcher::matches(std::string_view text) const {
  const Program& program = *program_;
  if (text.size() != 0 && program.code.size() > maximumWork / text.size()) return std::nullopt;
  std::vector<std::size_t> current, next, stack;
  std::vector<std::size_t> mark(program.code.size(), SIZE_MAX);
  std::size_t step = 0;
  add(program, current, mark, step, 0, stack);
  for (std::size_t i = 0; i < text.size();) {
    const char32_t c = decode(text, i);
    ++step;
    next.clear();
    for (const std::size_t k : current) {
      const auto& instruction = program.code[k];
      bool reads = false;
      switch (instruction.op) {
        case Op::literal: reads = instruction.scalar == c; break;
        case Op::digit: reads = isDigit(c); break;
        case Op::word: reads = isWord(c); break;
        case Op::any: reads = isAny(c); break;
        case Op::split: case Op::jump: case Op::match: break;
      }
      if (reads) add(program, next, mark, step, k + 1, stack);
    }
    std::swap(current, next);
    if (current.empty()) return false;
  }
  for (const std::size_t k : current) {
    if (program.code[k].op == Op::match) return true;
  }
  return false;
}

}  // namespace TarnwickApple::RegexPattern
