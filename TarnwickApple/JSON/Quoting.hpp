// How messages for people quote a JSON value: strings as JSON strings (long ones cut short),
// numbers and literals as written (a whole number always without a fraction), arrays and
// objects by their kind.
#pragma once

#include <string>
#include <string_view>

#include "TarnwickApple/JSON/JSONValue.hpp"

namespace TarnwickApple::Quoting {

std::string quoted(const JSONValue& value);
std::string quoted(std::string_view text);
// A pattern as people write it: between quotation marks, nothing escaped, whole however long
// (a note on a pattern is about every character of it).
std::string verbatim(std::string_view text);

// "a string", "a number", "an array", ... (a whole number is "a number" too).
std::string_view kindName(const JSONValue& value);

// "/" followed by `segment` with "~" written "~0" and "/" written "~1" (RFC 6901).
void appendPointerSegment(std::string& pointer, std::string_view segment);

}  // namespace TarnwickApple::Quoting
