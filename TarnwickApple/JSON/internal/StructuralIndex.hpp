// The first pass of the JSON reader: where a text's structural characters and the starts of its
// other tokens are, with the text's UTF-8 and string bodies checked on the way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace TarnwickApple::internal {

// Positions are held in 32 bits, so a longer text is refused before it is indexed.
constexpr std::size_t maximumIndexedText = std::size_t{0xFFFFFFFF};

// The offsets, in order, of every `{ } [ ] : ,`, every opening quotation mark and the first byte
// of every other run of bytes outside strings and white space (a literal, or stray bytes). Throws
// JSONValue::DecodeError, offsets counted from `base`, for invalid UTF-8, a control character
// in a string, an unterminated string or a text holding no token.
std::vector<std::uint32_t> structuralIndex(std::string_view text, std::size_t base);

}  // namespace TarnwickApple::internal
