// Writing JSON text: strings escaped as the reply line escapes them, and numbers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace TarnwickApple::JSONText {

// Appends `text` (well-formed UTF-8) as a JSON string: quotation mark, reverse solidus and
// control characters escaped; "/" and non-ASCII written as they are.
void appendString(std::string& out, std::string_view text);

void appendInteger(std::string& out, std::int64_t value);

// Shortest round-trip form, always with a fraction or an exponent (5 is written 5.0).
// Non-finite values are written as null.
void appendDouble(std::string& out, double value);

}  // namespace TarnwickApple::JSONText
