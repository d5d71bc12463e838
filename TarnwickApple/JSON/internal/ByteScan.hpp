// Scanning text sixteen bytes at a time, for the reader's token scan and the writer's escaping:
// both look for the next byte that ends a run of plain string content.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace TarnwickApple::internal {

// Sixteen bytes at a time: a vector type g++ and clang both lower to SSE2 or NEON.
using Bytes = std::uint8_t __attribute__((vector_size(16)));
constexpr std::size_t bytesBlock = sizeof(Bytes);

// The first lane of `lanes` (0xFF where true, 0 elsewhere) that is true, or bytesBlock.
inline std::size_t firstLane(const Bytes& lanes) {
  if constexpr (std::endian::native != std::endian::little) {
    for (std::size_t j = 0; j < bytesBlock; ++j) {
      if (lanes[j] != 0) return j;
    }
    return bytesBlock;
  }
  std::uint64_t halves[2];
  std::memcpy(halves, &lanes, bytesBlock);
  if (halves[0] != 0) return static_cast<std::size_t>(std::countr_zero(halves[0])) / 8;
  if (halves[1] != 0) return 8 + static_cast<std::size_t>(std::countr_zero(halves[1])) / 8;
  return bytesBlock;
}

// Where the first byte of `bytes` that ends plain string content ('"', '\\' or a control
// character) is, or bytesBlock when none does.
inline std::size_t firstStringStop(const Bytes& bytes) { return firstLane((bytes == '"') | (bytes == '\\') | (bytes < 0x20)); }

// The first byte at or after `i` that ends plain string content, or the end of `text`. The last
// partial block is copied behind padding that ends nothing, so short runs take one step too.
inline std::size_t nextStringStop(std::string_view text, std::size_t i) {
  Bytes bytes;
  for (; i + bytesBlock <= text.size(); i += bytesBlock) {
    std::memcpy(&bytes, text.data() + i, bytesBlock);
    if (const std::size_t at = firstStringStop(bytes); at != bytesBlock) return i + at;
  }
  if (i >= text.size()) return text.size();
  std::memset(&bytes, 'a', bytesBlock);
  std::memcpy(&bytes, text.data() + i, text.size() - i);
  const std::size_t at = firstStringStop(bytes);
  return at == bytesBlock ? text.size() : i + at;
}

}  // namespace TarnwickApple::internal
