// The plain patterns: rewritten patterns simple enough that their meaning needs no regex engine
// to settle, so that ICU need not compile them before a match asks for it.
#include <cstddef>
#include <string_view>

#include "TarnwickApple/Text/PlainPattern.hpp"

namespace TarnwickApple::RegexPattern {
namespace {

// Largest count of a plain "{m,n}"; larger counts are left to ICU to accept or refuse.
constexpr std::size_t maximumPlainCount = 1000;
// Deepest group nesting of a plain pattern, well within what the reference engine's reader takes.
constexpr std::size_t maximumPlainNesting = 32;

constexpr std::string_view escapable = "dw\\.*+?()[]{}|^$";

// Reads "{m}", "{m,}" or "{m,n}" at `i` with ASCII digits and counts within the plain bound;
// returns the index after "}", or 0 when it is none of these.
std::size_t interval(std::string_view p, std::size_t i) {
  const auto count = [&](std::size_t& at, std::size_t& value) {
    const std::size_t start = at;
    value = 0;
    while (at < p.size() && p[at] >= '0' && p[at] <= '9' && value <= maximumPlainCount) value = value * 10 + static_cast<std::size_t>(p[at++] - '0');
    return at > start && value <= maximumPlainCount;
  };
  std::size_t at = i + 1, low = 0, high = 0;
  if (!count(at, low)) return 0;
  if (at < p.size() && p[at] == ',') {
    ++at;
    if (at < p.size() && p[at] != '}' && (!count(at, high) || high < low)) return 0;
  }
  return at < p.size() && p[at] == '}' ? at + 1 : 0;
}

}  // namespace

bool isPlain(std::string_view p) {
  // plain := (atom quantifier? "?"? | "|")*  with  atom := literal | "\" escapable | "(?:" plain ")"
  std::size_t depth = 0;
  bool quantifiable = false;  // an atom just ended
  for (std::size_t i = 0; i < p.size();) {
    const char c = p[i];
    std::size_t quantifierEnd = 0;
    switch (c) {
      case '\\':
        if (i + 1 == p.size() || escapable.find(p[i + 1]) == std::string_view::npos) return false;
        i += 2;
        quantifiable = true;
        continue;
      case '(':
        if (p.substr(i, 3) != "(?:" || ++depth > maximumPlainNesting) return false;
        i += 3;
        quantifiable = false;
        continue;
      case ')':
        if (depth == 0) return false;
        --depth;
        ++i;
        quantifiable = true;
        continue;
      case '|':
        ++i;
        quantifiable = false;
        continue;
      case '*': case '+': case '?':
        quantifierEnd = i + 1;
        break;
      case '{':
        quantifierEnd = interval(p, i);
        if (quantifierEnd == 0) return false;
        break;
      case '}': case '[': case ']': case '^': case '$':
        return false;
      default:
        ++i;
        quantifiable = true;
        continue;
    }
    // A quantifier needs an atom before it and takes at most a lazy "?" after it: no possessive
    // form and no quantifier of a quantifier.
    if (!quantifiable) return false;
    i = quantifierEnd;
    if (i < p.size() && p[i] == '?') ++i;
    quantifiable = false;
  }
  return depth == 0 && !p.empty();
}

}  // namespace TarnwickApple::RegexPattern
