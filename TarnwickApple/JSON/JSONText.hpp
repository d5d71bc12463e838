// Writing JSON text: strings escaped as the reply line escapes them, and numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace TarnwickApple::JSONText {

// Appends `text` (well-formed UTF-8) as a JSON string: quotation mark, reverse solidus and
// control characters escaped; "/" and non-ASCII written as they are.
void appendString(std::string& out, std::string_view text);

// The most bytes appendString or writeString writes for a text of `size` bytes: every byte
// escaped as \u00XX, and the two quotation marks.
constexpr std::size_t maximumStringBytes(std::size_t size) { return 6 * size + 2; }
// The same JSON string as appendString, written at `out`, which has room for
// maximumStringBytes(text.size()) bytes; returns where it ends. For writers that keep their own
// room, so that a short string costs no bookkeeping of a std::string.
char* writeString(char* out, std::string_view text);

void appendInteger(std::string& out, std::int64_t value);

// Shortest round-trip form, always with a fraction or an exponent (5 is written 5.0).
// Non-finite values are written as null.
void appendDouble(std::string& out, double value);

}  // namespace TarnwickApple::JSONText
