// The name registry of one schema translation: a name is handed out at most once.
#include "TarnwickApple/Schema/Namer.hpp"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>

#include "TarnwickApple/Text/Unicode.hpp"

namespace TarnwickApple {
namespace {

// The base of an empty wanted name.
constexpr std::string_view defaultName = "Schema";

// Numbering starts here: the second use of a name is the name followed by 2.
constexpr std::uint64_t firstNumber = 2;

// Names are copied into blocks (a longer one gets a block of its own): few allocations, and
// nothing moves as the registry grows. The first is small, since most schemas name a few dozen
// types, and each next one doubles up to the largest; freeing a block of 64 KiB or more makes
// the allocator sweep its free lists, which would cost more than a small schema's translation.
constexpr std::size_t firstBlockBytes = 2 * 1024;
constexpr std::size_t blockBytes = 64 * 1024;

// Until this many names are taken they are searched one by one, and the table is made only
// when one more comes: most schemas name fewer types.
constexpr std::size_t scannedNames = 8;

// The table starts with this many slots and doubles once five in eight are taken, which keeps
// probe runs short.
constexpr std::size_t firstSlots = 64;

std::string_view keptName(const char* kept) {
  std::size_t length;
  std::memcpy(&length, kept, sizeof length);
  return {kept + sizeof length, length};
}

// The NFC form of `name`: `name` itself when it is ASCII, else a copy in `storage`.
std::string_view nfcForm(std::string_view name, std::string& storage) {
  if (Unicode::isASCII(name)) return name;
  storage = Unicode::nfc(name);
  return storage;
}

}  // namespace

void Namer::reserve(std::string_view name) {
  std::string storage;
  take(nfcForm(name, storage));
}

bool Namer::isTaken(std::string_view name) const {
  std::string storage;
  const std::string_view key = nfcForm(name, storage);
  return slots_.empty() ? isKept(key) : slots_[slotOf(key)] != 0;
}

std::string Namer::unique(std::string_view wanted) {
  const std::string_view base = wanted.empty() ? defaultName : wanted;
  std::string storage;
  const std::string_view key = nfcForm(base, storage);
  if (take(key)) return std::string(base);
  return numbered(base, key);
}

std::string Namer::uniqueOf(std::string&& wanted) {
  if (wanted.empty()) return unique(std::string_view(wanted));
  std::string storage;
  const std::string_view key = nfcForm(wanted, storage);
  if (take(key)) return std::move(wanted);
  return numbered(wanted, key);
}

std::string Namer::numbered(std::string_view base, std::string_view key) {
  // Names are never removed, so every number below the hint is still taken and the search can
  // resume there. A digit never composes with what precedes it, so the NFC form of base + n is
  // key + n.
  std::uint64_t& hint = nextNumber_[std::string(key)];
  for (std::uint64_t n = std::max(hint, firstNumber);; ++n) {
    const std::string digits = std::to_string(n);
    if (take(std::string(key) + digits)) {
      hint = n + 1;
      return std::string(base) + digits;
    }
  }
}

bool Namer::take(std::string_view key) {
  if (slots_.empty()) {
    // The first few names are searched one by one: no table to make, no name to hash.
    if (isKept(key)) return false;
    if (kept_.size() < scannedNames) {
      if (kept_.empty()) kept_.reserve(scannedNames);
      kept_.push_back(keep(key));
      return true;
    }
    grow();
  } else if ((kept_.size() + 1) * 8 > slots_.size() * 5) {
    grow();
  }
  const std::size_t slot = slotOf(key);
  if (slots_[slot] != 0) return false;
  kept_.push_back(keep(key));
  // A name takes at least eight bytes here, so four billion of them never fit in memory.
  slots_[slot] = static_cast<std::uint32_t>(kept_.size());
  return true;
}

bool Namer::isKept(std::string_view key) const {
  return std::any_of(kept_.begin(), kept_.end(), [&](const char* kept) { return keptName(kept) == key; });
}

std::size_t Namer::slotOf(std::string_view key) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = std::hash<std::string_view>()(key) & mask;; slot = (slot + 1) & mask) {
    if (slots_[slot] == 0 || keptName(kept_[slots_[slot] - 1]) == key) return slot;
  }
}

const char* Namer::keep(std::string_view key) {
  const std::size_t length = key.size();
  const std::size_t needed = sizeof length + length;
  if (blocks_.empty() || blockSize_ - blockUsed_ < needed) {
    const std::size_t next = blocks_.empty() ? firstBlockBytes : std::min(blockSize_ * 2, blockBytes);
    blockSize_ = std::max(next, needed);
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(blockSize_));
    blockUsed_ = 0;
  }
  char* kept = blocks_.back().get() + blockUsed_;
  std::memcpy(kept, &length, sizeof length);
  std::memcpy(kept + sizeof length, key.data(), length);
  blockUsed_ += needed;
  return kept;
}

void Namer::grow() {
  slots_.assign(std::max(firstSlots, slots_.size() * 2), 0);
  kept_.reserve(slots_.size() * 5 / 8);  // as many names as fit before the next growth
  for (std::size_t i = 0; i < kept_.size(); ++i) {
    slots_[slotOf(keptName(kept_[i]))] = static_cast<std::uint32_t>(i + 1);
  }
}

}  // namespace TarnwickApple
