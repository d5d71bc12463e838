// JSON text writing shared by the reply line, the engine's output and schema descriptions.
#include "TarnwickApple/JSON/JSONText.hpp"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace TarnwickApple::JSONText {
namespace {

// Sixteen bytes at a time: a vector type g++ and clang both lower to SSE2 or NEON.
using Bytes = std::uint8_t __attribute__((vector_size(16)));
constexpr std::size_t block = sizeof(Bytes);

// Where the first byte of a block that needs escaping ('"', '\\' or a control character) is,
// or `block` when none does.
std::size_t firstEscape(const Bytes& bytes) {
  const Bytes stops = (bytes == '"') | (bytes == '\\') | (bytes < 0x20);  // 0xFF where true
  if constexpr (std::endian::native != std::endian::little) {
    for (std::size_t j = 0; j < block; ++j) {
      if (stops[j] != 0) return j;
    }
    return block;
  }
  std::uint64_t halves[2];
  std::memcpy(halves, &stops, block);
  if (halves[0] != 0) return static_cast<std::size_t>(std::countr_zero(halves[0])) / 8;
  if (halves[1] != 0) return 8 + static_cast<std::size_t>(std::countr_zero(halves[1])) / 8;
  return block;
}

// The first byte at or after `i` that needs escaping, or the end of `text`. The last partial
// block is copied behind padding that needs none, so short strings take one step too.
std::size_t nextEscape(std::string_view text, std::size_t i) {
  Bytes bytes;
  for (; i + block <= text.size(); i += block) {
    std::memcpy(&bytes, text.data() + i, block);
    if (const std::size_t at = firstEscape(bytes); at != block) return i + at;
  }
  if (i == text.size()) return i;
  std::memset(&bytes, 'a', block);
  std::memcpy(&bytes, text.data() + i, text.size() - i);
  const std::size_t at = firstEscape(bytes);
  return at == block ? text.size() : i + at;
}

}  // namespace

void appendString(std::string& out, std::string_view text) {
  static constexpr char hex[] = "0123456789abcdef";
  out.reserve(out.size() + text.size() + 2);
  out += '"';
  // Each plain run is appended whole; only the byte that stops it is written alone.
  for (std::size_t i = 0;;) {
    const std::size_t stop = nextEscape(text, i);
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
