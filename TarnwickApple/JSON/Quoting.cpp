// Quoting JSON values and pointer segments in messages for people.
#include "TarnwickApple/JSON/Quoting.hpp"

#include <utility>

#include "TarnwickApple/JSON/JSONText.hpp"

namespace TarnwickApple::Quoting {
namespace {

// Longest string quoted whole, in bytes; a longer one is cut at a scalar boundary and marked.
constexpr std::size_t longestQuote = 60;

// `text` cut at a scalar boundary when it is long, and whether it was.
std::pair<std::string_view, bool> shortened(std::string_view text) {
  if (text.size() <= longestQuote) return {text, false};
  std::size_t end = longestQuote;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return {text.substr(0, end), true};
}

}  // namespace

std::string quoted(std::string_view text) {
  const auto [shown, cut] = shortened(text);
  std::string out;
  JSONText::appendString(out, shown);
  if (cut) out.insert(out.size() - 1, "\u2026");
  return out;
}

std::string verbatim(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  out += text;
  out += '"';
  return out;
}

std::string quoted(const JSONValue& value) {
  std::string out;
  switch (value.kind()) {
    case JSONValue::Case::string: return quoted(*value.stringValue());
    case JSONValue::Case::integer: JSONText::appendInteger(out, *value.integerValue()); return out;
    case JSONValue::Case::number:
      if (const auto whole = value.unsignedValue()) return std::to_string(*whole);
      JSONText::appendDouble(out, *value.doubleValue());
      // A whole number past the 64-bit range reads as one too: 18446744073709551616, not ...616.0.
      if (out.ends_with(".0")) out.resize(out.size() - 2);
      return out;
    case JSONValue::Case::boolean: return *value.boolValue() ? "true" : "false";
    case JSONValue::Case::null: return "null";
    case JSONValue::Case::array:
    case JSONValue::Case::object:
      return std::string(kindName(value));
  }
  return std::string(kindName(value));
}

std::string_view kindName(const JSONValue& value) {
  switch (value.kind()) {
    case JSONValue::Case::boolean: return "a boolean";
    case JSONValue::Case::integer:
    case JSONValue::Case::number: return "a number";
    case JSONValue::Case::string: return "a string";
    case JSONValue::Case::array: return "an array";
    case JSONValue::Case::object: return "an object";
    case JSONValue::Case::null: return "null";
  }
  return "a value";
}

void appendPointerSegment(std::string& pointer, std::string_view segment) {
  pointer += '/';
  for (const char c : segment) {
    if (c == '~') {
      pointer += "~0";
    } else if (c == '/') {
      pointer += "~1";
    } else {
      pointer += c;
    }
  }
}

}  // namespace TarnwickApple::Quoting
