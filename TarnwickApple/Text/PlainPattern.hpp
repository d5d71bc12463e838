// Plain patterns: the part of the platform's regex dialect whose meaning is settled without ICU,
// read alike by the matcher here and the reference engine's pattern reader.
#pragma once

#include <string_view>

namespace TarnwickApple::RegexPattern {

// True when a rewritten pattern is plain: literals, "\\d", "\\w", ".", escaped metacharacters,
// "(?:...)" groups, "|", and one quantifier per atom ("*", "+", "?", "{m}", "{m,}", "{m,n}" with
// counts up to 1000, each possibly lazy). ICU compiles every plain pattern, and the reference
// engine's pattern reader reads it as ICU does.
bool isPlain(std::string_view rewritten);

}  // namespace TarnwickApple::RegexPattern
