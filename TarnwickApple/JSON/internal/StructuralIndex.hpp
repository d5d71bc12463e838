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

// The positions held at once (2 MiB of them). A text with no more tokens is indexed whole in one
// scan, as every schema people write is (the largest in the corpora, 2 MB, holds 350 Ki); a
// larger one is scanned twice, in chunks of this many, so that its positions (12 bytes for the 4
// of "{}, ") never cost more than this fixed amount.
constexpr std::size_t indexChunk = std::size_t{512} * 1024;

// A resumable scan for the offsets, in order, of every `{ } [ ] : ,`, every opening quotation
// mark and the first byte of every other run of bytes outside strings and white space (a literal,
// or stray bytes). Throws JSONValue::DecodeError, offsets counted from `base`, for invalid UTF-8,
// a control character in a string, an unterminated string or a text holding no token.
class StructuralScan {
 public:
  StructuralScan(std::string_view text, std::size_t base);

  // Appends the next positions to `positions` until it holds `limit` of them (or up to a
  // sixteenth more) or the text is scanned to its end; false once the end is reached (its faults
  // are thrown then).
  bool fill(std::vector<std::uint32_t>& positions, std::size_t limit);

  // Back to the start, for a second scan of a text the first found sound.
  void restart();

 private:
  [[noreturn]] void fail(std::size_t offset, const char* reason) const;

  std::string_view text_;
  std::size_t base_;
  std::string_view scanned_;  // the well-formed UTF-8 prefix of the text
  std::size_t at_ = 0;        // the next byte to scan
  bool inLiteral_ = false;    // the byte before `at_` belongs to a literal
  bool found_ = false;        // a token was recorded
};

}  // namespace TarnwickApple::internal
