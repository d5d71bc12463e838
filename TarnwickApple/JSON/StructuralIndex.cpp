// The JSON reader's first pass: simdjson checks the UTF-8 of the whole text at SIMD speed, and
// one scan over the bytes, sixteen at a time inside strings, records the tokens' positions, as
// many at a time as the reader holds.
#include "TarnwickApple/JSON/internal/StructuralIndex.hpp"

#include <simdjson.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "TarnwickApple/JSON/JSONValue.hpp"
#include "TarnwickApple/JSON/internal/ByteScan.hpp"
#include "TarnwickApple/Text/Unicode.hpp"

namespace TarnwickApple::internal {
namespace {

bool isWhiteSpace(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

// The first byte at or after `i` that is not JSON white space, or the end of `text`: schemas
// written by people are mostly indentation.
std::size_t nextToken(std::string_view text, std::size_t i) {
  for (; i + bytesBlock <= text.size(); i += bytesBlock) {
    Bytes bytes;
    std::memcpy(&bytes, text.data() + i, bytesBlock);
    const Bytes solid = ~((bytes == ' ') | (bytes == '\n') | (bytes == '\r') | (bytes == '\t'));
    if (const std::size_t at = firstLane(solid); at != bytesBlock) return i + at;
  }
  while (i < text.size() && isWhiteSpace(text[i])) ++i;
  return i;
}

// One stretch of the scan, from byte `at` to about byte `stop`: it records no more positions than
// it has bytes (a string or white space begun before `stop` is scanned to its end).
class Scan {
 public:
  Scan(std::string_view text, std::string_view scanned, std::size_t base, std::vector<std::uint32_t>&& positions)
      : text_(text), scanned_(scanned), base_(base), positions_(std::move(positions)) {}

  std::vector<std::uint32_t> take() { return std::move(positions_); }
  std::size_t recorded() const { return positions_.size(); }
  void reserve(std::size_t positions) { positions_.reserve(positions); }

  // The byte the stretch stopped at; `inLiteral` is carried from one stretch to the next.
  std::size_t run(std::size_t at, std::size_t stop, bool& wasInLiteral) {
    const std::string_view scanned = scanned_;
    bool inLiteral = wasInLiteral;
    std::size_t i = at;
    while (i < stop) {
      switch (scanned[i]) {
        case ' ': case '\n': case '\r': case '\t':
          inLiteral = false;
          i = nextToken(scanned, i + 1);
          break;
        case '{': case '}': case '[': case ']': case ':': case ',':
          record(i++);
          inLiteral = false;
          break;
        case '"':
          record(i);
          i = afterString(scanned, i);
          inLiteral = false;
          break;
        default:
          if (!inLiteral) record(i);
          inLiteral = true;
          ++i;
      }
    }
    wasInLiteral = inLiteral;
    return i;
  }

 private:
  [[noreturn]] void fail(std::size_t offset, const char* reason) const {
    throw JSONValue::DecodeError(base_ + offset, reason);
  }

  void record(std::size_t offset) { positions_.push_back(static_cast<std::uint32_t>(offset)); }

  // Past the string opened at `open`; escapes are only skipped here, the grammar reads them.
  std::size_t afterString(std::string_view scanned, std::size_t open) const {
    std::size_t i = open + 1;
    for (;;) {
      i = nextStringStop(scanned, i);
      if (i == scanned.size()) stringEnded(scanned, open);
      const char c = scanned[i];
      if (c == '"') return i + 1;
      if (c == '\\') {
        if (++i == scanned.size()) stringEnded(scanned, open);
        if (static_cast<unsigned char>(scanned[i]) < 0x20) fail(i, "a control character in a string");
        ++i;
        continue;
      }
      fail(i, "a control character in a string");
    }
  }

  // The scan ran out inside a string: at the text's end it is unterminated, before it the next
  // byte is ill-formed.
  [[noreturn]] void stringEnded(std::string_view scanned, std::size_t open) const {
    if (scanned.size() < text_.size()) fail(scanned.size(), "invalid UTF-8");
    fail(open, "unterminated string");
  }

  std::string_view text_;
  std::string_view scanned_;
  std::size_t base_;
  std::vector<std::uint32_t> positions_;
};

}  // namespace

StructuralScan::StructuralScan(std::string_view text, std::size_t base) : text_(text), base_(base), scanned_(text) {
  // Only the well-formed prefix is scanned: a fault inside it comes first, as it comes first in
  // the text; otherwise the first ill-formed byte is the fault.
  if (!simdjson::validate_utf8(text_.data(), text_.size())) scanned_ = text_.substr(0, Unicode::validUTF8Prefix(text_));
}

void StructuralScan::restart() {
  at_ = 0;
  inLiteral_ = false;
}

bool StructuralScan::fill(std::vector<std::uint32_t>& positions, std::size_t limit) {
  if (positions.capacity() == 0) positions.reserve(std::min<std::size_t>({scanned_.size() / 8, 4096, limit}) + 16);
  const std::size_t before = positions.size();
  Scan scan(text_, scanned_, base_, std::move(positions));
  // Every position is a different byte, so a stretch as long as the room left cannot overfill it;
  // near the limit, stretches of a sixteenth of it keep the stretches few, whatever the tokens.
  while (at_ < scanned_.size() && scan.recorded() < limit) {
    const std::size_t stretch = std::max(limit - scan.recorded(), limit / 16);
    // Room for a last stretch past the limit made once, not by doubling.
    if (scan.recorded() + stretch > limit) scan.reserve(limit + limit / 16);
    at_ = scan.run(at_, std::min(scanned_.size(), at_ + stretch), inLiteral_);
  }
  positions = scan.take();
  found_ = found_ || positions.size() > before;
  if (at_ < scanned_.size()) return true;
  if (scanned_.size() < text_.size()) fail(scanned_.size(), "invalid UTF-8");
  if (!found_) fail(text_.size(), "no JSON value");
  return false;
}

void StructuralScan::fail(std::size_t offset, const char* reason) const { throw JSONValue::DecodeError(base_ + offset, reason); }

}  // namespace TarnwickApple::internal
