// Reading one JSON number literal: its grammar, its nearest double and its exact whole-number
// readings, decided from the literal's digits and never through the double.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace TarnwickApple::internal {

struct NumberLiteral {
  enum class Status { ok, malformed, outOfRange };
  Status status = Status::malformed;
  double value = 0;                          // nearest double; a literal too small for one reads as ±0
  std::optional<std::int64_t> signedValue;   // when the exact value is whole and within int64
  std::optional<std::uint64_t> unsignedValue;  // when the exact value is whole and within uint64
};

// `text` must be the whole literal, -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?; anything else
// is malformed, and a literal beyond the largest finite double is out of range.
NumberLiteral readNumberLiteral(std::string_view text);

}  // namespace TarnwickApple::internal
