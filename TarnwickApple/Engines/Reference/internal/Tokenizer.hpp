// The reference engine's tokenizer: small, deterministic, linear. A token is an optional run of
// white space followed by up to four ASCII letters or digits, or by one other character (scalar);
// white space at the very end is one token of its own.
#pragma once

#include <cstddef>
#include <string_view>

namespace TarnwickApple::Engines::Tokenizer {

// The number of tokens in `text` (well-formed UTF-8).
std::size_t count(std::string_view text);

// The length in bytes of the longest prefix of `text` holding at most `tokens` tokens.
std::size_t prefixLength(std::string_view text, std::size_t tokens);

}  // namespace TarnwickApple::Engines::Tokenizer
