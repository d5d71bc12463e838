// JSON number literals read exactly: the grammar, the double, and whole-number readings from the
// digits themselves ("9223372036854775807.0" is 2^63-1, "-9223372036854775808.5" is not whole).
#include "TarnwickApple/JSON/internal/NumberLiteral.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <charconv>
#include <cstdlib>
#include <string>

namespace TarnwickApple::internal {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Literal exponents are clamped here: any exponent this large already decides every reading.
constexpr std::int64_t exponentSaturation = 1'000'000'000'000LL;

// A uint64 holds every 19-digit number, so plain integers this short need no wide arithmetic.
constexpr std::size_t shortIntegerDigits = 18;

// The whole-number readings of ±(significant digits × 10^exponent).
void classifyExactly(NumberLiteral& out, bool negative, std::string_view significant, std::int64_t exponent) {
  if (significant.empty()) {  // zero, however written
    out.signedValue = 0;
    out.unsignedValue = 0;
    return;
  }
  if (exponent < 0) return;  // a fractional part remains
  if (static_cast<std::int64_t>(significant.size()) + exponent > 20) return;  // beyond 64 bits
  unsigned __int128 magnitude = 0;
  for (char c : significant) magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
  for (std::int64_t k = 0; k < exponent; ++k) magnitude *= 10;
  constexpr unsigned __int128 signedLimit = static_cast<unsigned __int128>(1) << 63;
  if (negative) {
    if (magnitude <= signedLimit) out.signedValue = static_cast<std::int64_t>(-static_cast<__int128>(magnitude));
  } else {
    if (magnitude <= UINT64_MAX) out.unsignedValue = static_cast<std::uint64_t>(magnitude);
    if (magnitude < signedLimit) out.signedValue = static_cast<std::int64_t>(magnitude);
  }
}

// The nearest double; a literal past the largest finite double is out of range, one too small
// for the smallest subnormal reads as a signed zero.
bool nearestDouble(std::string_view text, double& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc() && end == text.data() + text.size()) return true;
  if (error != std::errc::result_out_of_range) return false;
  const std::string terminated(text);  // strtod tells overflow from underflow by its result
  errno = 0;
  value = std::strtod(terminated.c_str(), nullptr);
  return value != HUGE_VAL && value != -HUGE_VAL;
}

}  // namespace

NumberLiteral readNumberLiteral(std::string_view text) {
  NumberLiteral out;
  std::size_t i = 0;
  const bool negative = i < text.size() && text[i] == '-';
  if (negative) ++i;
  const std::size_t integerStart = i;
  while (i < text.size() && isDigit(text[i])) ++i;
  const std::size_t integerEnd = i;
  if (integerEnd == integerStart) return out;
  if (text[integerStart] == '0' && integerEnd - integerStart > 1) return out;  // no leading zeros

  if (i == text.size() && integerEnd - integerStart <= shortIntegerDigits) {
    std::uint64_t magnitude = 0;
    for (std::size_t k = integerStart; k < integerEnd; ++k) magnitude = magnitude * 10 + static_cast<unsigned>(text[k] - '0');
    const auto value = static_cast<std::int64_t>(magnitude);
    out.status = NumberLiteral::Status::ok;
    out.signedValue = negative ? -value : value;
    if (!negative || magnitude == 0) out.unsignedValue = magnitude;
    out.value = negative ? -static_cast<double>(magnitude) : static_cast<double>(magnitude);
    return out;
  }

  std::size_t fractionStart = i, fractionEnd = i;
  if (i < text.size() && text[i] == '.') {
    fractionStart = ++i;
    while (i < text.size() && isDigit(text[i])) ++i;
    fractionEnd = i;
    if (fractionEnd == fractionStart) return out;
  }
  std::int64_t exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negativeExponent = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negativeExponent = text[i++] == '-';
    const std::size_t exponentStart = i;
    for (; i < text.size() && isDigit(text[i]); ++i) {
      exponent = std::min(exponentSaturation, exponent * 10 + (text[i] - '0'));
    }
    if (i == exponentStart) return out;
    if (negativeExponent) exponent = -exponent;
  }
  if (i != text.size()) return out;

  if (!nearestDouble(text, out.value)) {
    out.status = NumberLiteral::Status::outOfRange;
    return out;
  }
  out.status = NumberLiteral::Status::ok;

  // The digits without leading and trailing zeros, and the power of ten that scales them.
  std::string digits(text.substr(integerStart, integerEnd - integerStart));
  digits.append(text.substr(fractionStart, fractionEnd - fractionStart));
  exponent -= static_cast<std::int64_t>(fractionEnd - fractionStart);
  const std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) {
    classifyExactly(out, negative, {}, 0);
    return out;
  }
  const std::size_t last = digits.find_last_not_of('0');
  exponent += static_cast<std::int64_t>(digits.size() - 1 - last);
  classifyExactly(out, negative, std::string_view(digits).substr(first, last - first + 1), exponent);
  return out;
}

}  // namespace TarnwickApple::internal
