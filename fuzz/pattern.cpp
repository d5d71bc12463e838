// Fuzz target: pattern rewriting on any well-formed UTF-8. An answer must lie inside the model's
// dialect and must compile, or be refused, without a crash.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Check.hpp"
#include "TarnwickApple/Schema/RegexPattern.hpp"
#include "TarnwickApple/Text/Unicode.hpp"

namespace {

using namespace TarnwickApple;

constexpr std::string_view metacharacters = "\\.*+?()[]{}|^$";

// The dialect, scalar by scalar as the regex compiler reads it:
//   escape  := "\" ( "d" | "w" | metacharacter )
//   group   := "(?:"
//   refused := "[" | "]" | "^" | "$" | "(" not followed by "?:" | any other escape
void checkDialect(std::string_view answer) {
  for (std::size_t i = 0; i < answer.size(); ++i) {
    const char c = answer[i];
    if (c == '\\') {
      Fuzz::require(i + 1 < answer.size(), "no trailing backslash", answer);
      const char next = answer[i + 1];
      Fuzz::require(next == 'd' || next == 'w' || metacharacters.find(next) != std::string_view::npos,
                    "escapes are \\d, \\w or a metacharacter", answer);
      ++i;
    } else if (c == '(') {
      Fuzz::require(answer.substr(i + 1, 2) == "?:", "every group is non-capturing", answer);
      i += 2;
    } else {
      Fuzz::require(c != '[' && c != ']' && c != '^' && c != '$', "no class bracket or anchor", answer);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view pattern(reinterpret_cast<const char*>(data), size);
  // Only well-formed text reaches the rewriting: the JSON reader refuses anything else.
  if (!Unicode::isValidUTF8(pattern)) return 0;
  const std::optional<std::string> answer = RegexPattern::desugared(pattern);
  if (!answer) return 0;
  Fuzz::require(!answer->empty(), "an answer is never empty");
  Fuzz::require(Unicode::isValidUTF8(*answer), "an answer is well-formed UTF-8", *answer);
  checkDialect(*answer);
  const std::optional<Unicode::Regex> compiled = Unicode::Regex::compile(*answer);
  if (compiled) {
    Fuzz::require(compiled->pattern() == *answer, "the compiled expression keeps its text", *answer);
    // Matching must not crash either; the empty text is a cheap probe.
    compiled->matchesWhole("");
  }
  return 0;
}
