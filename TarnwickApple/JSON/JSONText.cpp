// JSON text writing shared by the reply line, the engine's output and schema descriptions.
#include "TarnwickApple/JSON/JSONText.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "TarnwickApple/JSON/internal/ByteScan.hpp"

namespace TarnwickApple::JSONText {

void appendString(std::string& out, std::string_view text) {
  static constexpr char hex[] = "0123456789abcdef";
  out.reserve(out.size() + text.size() + 2);
  out += '"';
  // Each plain run is appended whole; only the byte that stops it is written alone.
  for (std::size_t i = 0;;) {
    const std::size_t stop = internal::nextStringStop(text, i);
    out.append(text.data() + i, stop - i);
    if (stop == text.size()) break;
    i = stop + 1;
    const unsigned char c = static_cast<unsigned char>(text[stop]);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        out += "\\u00";
        out += hex[c >> 4];
        out += hex[c & 0xF];
    }
  }
  out += '"';
}

char* writeString(char* out, std::string_view text) {
  static constexpr char hex[] = "0123456789abcdef";
  *out++ = '"';
  // Each plain run is copied whole; only the byte that stops it is written alone.
  for (std::size_t i = 0;;) {
    const std::size_t stop = internal::nextStringStop(text, i);
    if (stop > i) std::memcpy(out, text.data() + i, stop - i);  // an empty text may have no bytes at all
    out += stop - i;
    if (stop == text.size()) break;
    i = stop + 1;
    const unsigned char c = static_cast<unsigned char>(text[stop]);
    char escape = 0;
    switch (c) {
      case '"': escape = '"'; break;
      case '\\': escape = '\\'; break;
      case '\n': escape = 'n'; break;
      case '\r': escape = 'r'; break;
      case '\t': escape = 't'; break;
      case '\b': escape = 'b'; break;
      case '\f': escape = 'f'; break;
      default: break;
    }
    *out++ = '\\';
    if (escape != 0) {
      *out++ = escape;
    } else {
      std::memcpy(out, "u00", 3);
      out[3] = hex[c >> 4];
      out[4] = hex[c & 0xF];
      out += 5;
    }
  }
  *out++ = '"';
  return out;
}

void appendInteger(std::string& out, std::int64_t value) {
  char buffer[24];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  out.append(buffer, end);
}

void appendDouble(std::string& out, double value) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  char buffer[40];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  const std::string_view written(buffer, static_cast<std::size_t>(end - buffer));
  out += written;
  if (written.find_first_of(".eE") == std::string_view::npos) out += ".0";
}

}  // namespace TarnwickApple::JSONText
