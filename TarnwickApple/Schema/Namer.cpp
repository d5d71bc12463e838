// The name registry of one schema translation: a name is handed out at most once.
#include "TarnwickApple/Schema/Namer.hpp"

#include <algorithm>

#include "TarnwickApple/Text/Unicode.hpp"

namespace TarnwickApple {
namespace {

// The base of an empty wanted name.
constexpr std::string_view defaultName = "Schema";

// Numbering starts here: the second use of a name is the name followed by 2.
constexpr std::uint64_t firstNumber = 2;

}  // namespace

void Namer::reserve(std::string_view name) { taken_.insert(Unicode::nfc(name)); }

bool Namer::isTaken(std::string_view name) const { return taken_.count(Unicode::nfc(name)) != 0; }

std::string Namer::unique(std::string_view wanted) {
  const std::string_view base = wanted.empty() ? defaultName : wanted;
  const std::string key = Unicode::nfc(base);
  if (taken_.insert(key).second) return std::string(base);
  // Names are never removed, so every number below the hint is still taken and the search can
  // resume there. A digit never composes with what precedes it, so the NFC form of base + n is
  // key + n.
  std::uint64_t& hint = nextNumber_[key];
  for (std::uint64_t n = std::max(hint, firstNumber);; ++n) {
    const std::string digits = std::to_string(n);
    if (taken_.insert(key + digits).second) {
      hint = n + 1;
      return std::string(base) + digits;
    }
  }
}

}  // namespace TarnwickApple
