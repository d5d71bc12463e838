// Rewriting JSON Schema patterns into the model's small dialect: anchors dropped, groups made
// non-capturing, bracketed classes widened to one token; anything else recognised as unsupported.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace TarnwickApple::RegexPattern {

// The rewritten pattern, or nothing when the pattern is unsupported (or rewrites to nothing).
std::optional<std::string> desugared(std::string_view pattern);

}  // namespace TarnwickApple::RegexPattern
