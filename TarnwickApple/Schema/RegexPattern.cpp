// Rewriting JSON Schema patterns into the model's dialect, one grapheme cluster at a time.
#include "TarnwickApple/Schema/internal/RegexRewriting.hpp"

#include <algorithm>
#include <array>

#include "TarnwickApple/Text/Unicode.hpp"

namespace TarnwickApple::RegexPattern {
namespace {

// The largest repetition count the model's Regex parses; a larger one (or one in other digits)
// makes it refuse the whole pattern, so the translator refuses it first and both sides agree.
constexpr std::size_t maximumRepetitionCount = 65535;

// The widest range a class may spell out: every ASCII code.
constexpr int asciiLimit = 128;

// Room first made for a class's members: "[A-Za-z0-9_]" spells out 63, so most classes need
// one allocation.
constexpr std::size_t classRoom = 64;

// Backing store of the one-byte characters a range expands to.
constexpr std::array<char, asciiLimit> asciiTable = [] {
  std::array<char, asciiLimit> table{};
  for (int code = 0; code < asciiLimit; ++code) table[static_cast<std::size_t>(code)] = static_cast<char>(code);
  return table;
}();

// The ASCII characters the rewriting gives a meaning to: the metacharacters and the range dash.
constexpr std::string_view syntaxCharacters = R"(\.*+?()[]{}|^$-)";

bool isSingleScalar(Character c) { return !c.empty() && Unicode::scalarLength(static_cast<unsigned char>(c[0])) == c.size(); }

// A character of several scalars holding a syntax character (a bracket or backslash with a
// combining mark, a prepended mark before "("). Read whole it is no syntax, but the regex engine
// reads it scalar by scalar and would see the syntax character, so it cannot be rewritten faithfully.
bool isDisguisedSyntax(Character c) {
  return c.size() > 1 && !isSingleScalar(c) && c.find_first_of(syntaxCharacters) != Character::npos;
}

// The ASCII character `c` is, by canonical equivalence (U+212A KELVIN SIGN is "K"), or 0 when it
// is none (CR LF and every longer cluster included). Only a lone non-ASCII scalar can be
// canonically equal to an ASCII character, so ICU is asked about those alone.
char asciiOf(Character c) {
  if (c.size() == 1) return c[0];
  if (!isSingleScalar(c)) return 0;
  const std::string composed = Unicode::nfc(c);
  return composed.size() == 1 ? composed[0] : 0;
}

bool is(Character c, char ascii) { return asciiOf(c) == ascii; }

// A set of ASCII characters; a character belongs when it is canonically equal to a member.
class CharacterSet {
 public:
  explicit CharacterSet(std::string_view members) {
    for (char m : members) contains_[static_cast<unsigned char>(m)] = true;
  }
  bool contains(Character c) const {
    const auto a = static_cast<unsigned char>(asciiOf(c));
    return a != 0 && a < asciiLimit && contains_[a];
  }

 private:
  std::array<bool, asciiLimit> contains_{};
};

// The five sets, each built once on first use (function-local statics are initialised once,
// thread-safely) and only read afterwards.
const CharacterSet& metacharacters() {
  static const CharacterSet set(R"(\.*+?()[]{}|^$)");
  return set;
}
const CharacterSet& bareEscapes() {
  static const CharacterSet set("-/");
  return set;
}
const CharacterSet& classEscapes() {
  static const CharacterSet set("dw");
  return set;
}
const CharacterSet& digits() {
  static const CharacterSet set("0123456789");
  return set;
}
const CharacterSet& wordCharacters() {
  static const CharacterSet set("0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_");
  return set;
}

// A character with a numeric type (decided by its first scalar), as quantifier bodies allow.
bool isNumber(Character c) {
  if (c.empty()) return false;
  const auto lead = static_cast<unsigned char>(c[0]);
  if (lead < 0x80) return lead >= '0' && lead <= '9';
  return Unicode::hasNumericType(*Unicode::firstScalar(c));
}

// A line break is a character whose first scalar is one of \n \v \f \r U+0085 U+2028 U+2029.
bool isLineBreak(Character c) {
  if (!c.empty() && static_cast<unsigned char>(c[0]) < 0x80) return c[0] >= '\n' && c[0] <= '\r';
  const auto first = Unicode::firstScalar(c);
  if (!first) return false;
  switch (*first) {
    case 0x0A: case 0x0B: case 0x0C: case 0x0D: case 0x85: case 0x2028: case 0x2029:
      return true;
    default:
      return false;
  }
}

// The ASCII code of a range endpoint: CR LF counts as \n; anything non-ASCII has none.
int asciiCode(Character c) {
  if (c == "\r\n") return '\n';
  if (c.size() == 1 && static_cast<unsigned char>(c[0]) < asciiLimit) return static_cast<unsigned char>(c[0]);
  return -1;
}

// Calls `each` with the characters from `low` through `high` in order (ASCII endpoints only);
// false, calling it for none, when the range cannot be spelled out.
template <typename Each>
bool spellRange(Character low, Character high, Each each) {
  const int first = asciiCode(low);
  const int last = asciiCode(high);
  if (first < 0 || last < 0 || last < first) return false;
  for (int code = first; code <= last; ++code) each(Character(&asciiTable[static_cast<std::size_t>(code)], 1));
  return true;
}

Coverage coverage(const ClassMember& member) {
  switch (member.kind) {
    case ClassMember::Case::escape:
      return is(member.character, 'd') ? Coverage::digit : Coverage::word;
    case ClassMember::Case::literal:
      if (digits().contains(member.character)) return Coverage::digit;
      return wordCharacters().contains(member.character) ? Coverage::word : Coverage::any;
  }
  return Coverage::any;
}

// coverage() of a literal that is one ASCII byte, by that byte: what digits() and
// wordCharacters() say of it, read from one table.
constexpr std::array<Coverage, asciiLimit> asciiCoverage = [] {
  std::array<Coverage, asciiLimit> table{};
  table.fill(Coverage::any);
  for (int code = '0'; code <= '9'; ++code) table[static_cast<std::size_t>(code)] = Coverage::digit;
  for (int code = 'a'; code <= 'z'; ++code) table[static_cast<std::size_t>(code)] = Coverage::word;
  for (int code = 'A'; code <= 'Z'; ++code) table[static_cast<std::size_t>(code)] = Coverage::word;
  table['_'] = Coverage::word;
  return table;
}();

std::string_view token(Coverage coverage) {
  switch (coverage) {
    case Coverage::digit: return R"(\d)";
    case Coverage::word: return R"(\w)";
    case Coverage::any: return ".";
  }
  return ".";
}

// What a refused escape is, for people.
std::string escapeConstruct(Character next) {
  const char c = asciiOf(next);
  if (c >= '1' && c <= '9') return "a back-reference \\" + std::string(next);
  switch (c) {
    case 's': return "\\s (white space)";
    case 'S': case 'D': case 'W': return "a negated class escape \\" + std::string(next);
    case 'b': case 'B': return "a word boundary \\" + std::string(next);
    case 'p': case 'P': return "a Unicode property class \\" + std::string(next);
    case 'n': case 'r': case 't': case 'f': case 'v': return "a control escape \\" + std::string(next);
    case 'u': case 'x': return "a code escape \\" + std::string(next);
    default: return "the escape \\" + std::string(next);
  }
}

// What a class that cannot be read is, for people.
std::string classConstruct(const std::vector<Character>& chars, std::size_t from) {
  if (from + 1 < chars.size() && is(chars[from + 1], '^')) return "a negated class [^...]";
  if (from + 1 < chars.size() && is(chars[from + 1], ']')) return "an empty class []";
  for (std::size_t i = from + 1; i < chars.size() && !is(chars[i], ']'); ++i) {
    if (is(chars[i], '[')) return "a class inside a class";
    if (is(chars[i], '\\') && i + 1 < chars.size()) {
      const Character next = chars[i + 1];
      if (!classEscapes().contains(next) && !metacharacters().contains(next) && !bareEscapes().contains(next)) {
        return escapeConstruct(next) + " in a class";
      }
      ++i;
    }
  }
  return "a class with no closing \"]\" or a range it cannot spell out";
}

// What a refused "(?" group is, for people.
std::string groupConstruct(const std::vector<Character>& chars, std::size_t from) {
  const auto at = [&](std::size_t k, char c) { return from + k < chars.size() && is(chars[from + k], c); };
  if (at(2, '=') || at(2, '!')) return "a lookahead (?" + std::string(chars[from + 2]);
  if (at(2, '<') && (at(3, '=') || at(3, '!'))) return "a lookbehind (?<" + std::string(chars[from + 3]);
  if (at(2, '<') || at(2, 'P') || at(2, '\'')) return "a named group";
  return "an inline flag or other \"(?\" group";
}

// True when the token accepts more than the class: "." always, "\d" and "\w" unless the class
// held nothing but that escape; a class of one character rewritten as itself never.
bool widens(const std::vector<ClassMember>& members, const std::string& token) {
  if (token == ".") return true;
  if (token != R"(\d)" && token != R"(\w)") return false;
  return !std::all_of(members.begin(), members.end(), [&](const ClassMember& member) {
    return member.kind == ClassMember::Case::escape && is(member.character, token[1]);
  });
}

// {m}, {m,} and {m,n} whose counts the model's Regex takes: ASCII digits, each count at most
// `maximumRepetitionCount` (leading zeros allowed). `end` is the index after the "}".
bool countsWithinLimit(const std::vector<Character>& chars, std::size_t from, std::size_t end) {
  std::size_t value = 0;
  for (std::size_t i = from + 1; i + 1 < end; ++i) {
    if (is(chars[i], ',')) {
      value = 0;
      continue;
    }
    if (chars[i].size() != 1 || chars[i][0] < '0' || chars[i][0] > '9') return false;
    value = value * 10 + static_cast<std::size_t>(chars[i][0] - '0');
    if (value > maximumRepetitionCount) return false;
  }
  return true;
}

}  // namespace

std::vector<Character> characters(std::string_view pattern) { return Unicode::graphemeClusterViews(pattern); }

std::optional<std::string> desugared(std::string_view pattern) { return rewrite(pattern).pattern; }

Rewriting rewrite(std::string_view pattern) {
  Rewriting result;
  const auto refused = [&](std::string construct) {
    result.refusal = std::move(construct);
    return std::move(result);
  };
  if (!Unicode::isValidUTF8(pattern)) return refused("text that is not valid UTF-8");
  const std::vector<Character> chars = characters(pattern);
  if (std::any_of(chars.begin(), chars.end(), isDisguisedSyntax)) return refused("a syntax character joined by a mark");
  const std::size_t count = chars.size();
  std::string out;
  out.reserve(pattern.size() + 16);
  std::vector<ClassMember> members;  // each class's, one allocation for the whole pattern
  for (std::size_t i = 0; i < count;) {
    switch (asciiOf(chars[i])) {
      case '\\': {
        // \d \w \. \( ... stay; \- \/ lose the backslash; every other escape is unsupported.
        if (i + 1 == count) return refused("a trailing backslash");
        const Character next = chars[i + 1];
        if (classEscapes().contains(next) || metacharacters().contains(next)) {
          out += '\\';
          out += next;
        } else if (bareEscapes().contains(next)) {
          out += next;
        } else {
          return refused(escapeConstruct(next));
        }
        i += 2;
        break;
      }
      case '[': {
        // [...] becomes one token, or the pattern is unsupported.
        const auto end = characterClass(chars, i, members);
        if (!end) return refused(classConstruct(chars, i));
        const auto replacement = widening(members);
        if (!replacement) return refused("a line break in a class");
        result.widened = result.widened || widens(members, *replacement);
        out += *replacement;
        i = *end;
        break;
      }
      case '(': {
        // ( and (?: become (?:; any other (? construct is unsupported.
        if (i + 1 < count && is(chars[i + 1], '?')) {
          if (i + 2 == count || !is(chars[i + 2], ':')) return refused(groupConstruct(chars, i));
          i += 3;
        } else {
          i += 1;
        }
        out += "(?:";
        break;
      }
      case '{': {
        // {m}, {m,} and {m,n} pass unchanged.
        const auto end = quantifier(chars, i);
        if (!end) return refused("a \"{\" that opens no quantifier {m}, {m,} or {m,n}");
        if (!countsWithinLimit(chars, i, *end)) {
          return refused("a repetition count that is not ASCII digits up to " + std::to_string(maximumRepetitionCount));
        }
        for (; i < *end; ++i) out += chars[i];
        break;
      }
      case ']':
        return refused("a \"]\" outside a class");
      case '^':
        // ^ only as the very first character, where it is dropped.
        if (i != 0) return refused("\"^\" other than at the start");
        i += 1;
        break;
      case '$':
        // $ only as the very last character, where it is dropped.
        if (i + 1 != count) return refused("\"$\" other than at the end");
        i += 1;
        break;
      default:
        out += chars[i];
        i += 1;
        break;
    }
  }
  if (out.empty()) return refused("nothing once the anchors are dropped");
  result.pattern = std::move(out);
  return result;
}

std::optional<std::size_t> characterClass(const std::vector<Character>& pattern, std::size_t from,
                                          std::vector<ClassMember>& members) {
  const std::size_t count = pattern.size();
  std::size_t i = from + 1;
  members.clear();
  if (i >= count || is(pattern[i], '^')) return std::nullopt;  // negated classes are unsupported
  members.reserve(classRoom);
  while (i < count) {
    if (is(pattern[i], ']')) {
      if (members.empty()) return std::nullopt;  // []
      return i + 1;
    }
    auto member = classMember(pattern, i);
    if (!member) return std::nullopt;
    const std::size_t next = member->second;
    // low-high, where the "-" is neither last in the class nor after an escape
    if (member->first.kind == ClassMember::Case::literal && next + 1 < count && is(pattern[next], '-') &&
        !is(pattern[next + 1], ']')) {
      const auto high = classMember(pattern, next + 1);
      if (!high || high->first.kind == ClassMember::Case::escape) return std::nullopt;
      if (!spellRange(member->first.character, high->first.character,
                      [&](Character c) { members.push_back(ClassMember::literal(c)); })) {
        return std::nullopt;
      }
      // The regex engine reads a CR LF endpoint as CR beside an endpoint LF: CR is a member too.
      if (member->first.character == "\r\n" || high->first.character == "\r\n") {
        members.push_back(ClassMember::literal("\r"));
      }
      i = high->second;
      continue;
    }
    members.push_back(member->first);
    i = next;
  }
  return std::nullopt;  // no closing "]"
}

std::optional<std::pair<ClassMember, std::size_t>> classMember(const std::vector<Character>& pattern,
                                                               std::size_t from) {
  if (from >= pattern.size()) return std::nullopt;
  const Character c = pattern[from];
  if (is(c, '[')) return std::nullopt;  // nested classes are unsupported
  if (!is(c, '\\')) return std::pair{ClassMember::literal(c), from + 1};
  if (from + 1 == pattern.size()) return std::nullopt;
  const Character next = pattern[from + 1];
  if (classEscapes().contains(next)) return std::pair{ClassMember::escape(next), from + 2};
  if (metacharacters().contains(next) || bareEscapes().contains(next)) {
    return std::pair{ClassMember::literal(next), from + 2};
  }
  return std::nullopt;
}

std::optional<std::vector<Character>> expand(Character low, Character high) {
  std::vector<Character> range;
  if (!spellRange(low, high, [&](Character c) { range.push_back(c); })) return std::nullopt;
  return range;
}

std::optional<std::size_t> quantifier(const std::vector<Character>& pattern, std::size_t from) {
  std::size_t close = from + 1;
  while (close < pattern.size() && !is(pattern[close], '}')) ++close;
  if (close >= pattern.size() || close == from + 1) return std::nullopt;  // unclosed or {}
  bool sawComma = false;
  for (std::size_t i = from + 1; i < close; ++i) {
    if (is(pattern[i], ',')) {
      if (i == from + 1 || sawComma) return std::nullopt;  // {,n} or {m,n,k}
      sawComma = true;
    } else if (!isNumber(pattern[i])) {
      return std::nullopt;
    }
  }
  return close + 1;
}

std::optional<std::string> widening(const std::vector<ClassMember>& members) {
  // [c] is c itself (escaped when it is a metacharacter). A lone cluster of several scalars is
  // widened like a longer class instead: the regex engine reads each of its scalars as a member.
  if (members.size() == 1 && members[0].kind == ClassMember::Case::literal &&
      isSingleScalar(members[0].character)) {
    const Character c = members[0].character;
    std::string literal = metacharacters().contains(c) ? "\\" : "";
    literal += c;
    return literal;
  }
  if (members.empty()) return std::nullopt;
  Coverage widest = Coverage::digit;
  for (const ClassMember& member : members) {
    // A one-byte ASCII literal (most members, and every one a range spells out) by table.
    if (const Character c = member.character;
        member.kind == ClassMember::Case::literal && c.size() == 1 && static_cast<unsigned char>(c[0]) < asciiLimit) {
      if (c[0] >= '\n' && c[0] <= '\r') return std::nullopt;  // a line break, as isLineBreak says
      widest = std::max(widest, asciiCoverage[static_cast<unsigned char>(c[0])]);
      continue;
    }
    if (member.kind == ClassMember::Case::literal && isLineBreak(member.character)) return std::nullopt;
    widest = std::max(widest, coverage(member));
  }
  return std::string(token(widest));
}

}  // namespace TarnwickApple::RegexPattern
