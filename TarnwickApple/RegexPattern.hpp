// Rewriting JSON Schema patterns into the model's small dialect: anchors dropped, groups made
// non-capturing, bracketed classes widened to one token; anything else recognised as unsupported.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace TarnwickApple::RegexPattern {

// The rewritten pattern, or nothing when the pattern is unsupported (or rewrites to nothing).
std::optional<std::string> desugared(std::string_view pattern);

// True when a rewritten pattern is plain: literals, "\\d", "\\w", ".", escaped metacharacters,
// "(?:...)" groups, "|", and one quantifier per atom ("*", "+", "?", "{m}", "{m,}", "{m,n}" with
// counts up to 1000, each possibly lazy). ICU compiles every plain pattern, and the reference
// engine's pattern reader reads it as ICU does.
bool isPlain(std::string_view rewritten);

}  // namespace TarnwickApple::RegexPattern
