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

// The table's hash of a name: eight bytes at a time, each word mixed in by multiplying and
// shifting (as splitmix64 finishes), cheaper than the library's hash on the short names schemas have.
std::size_t nameHash(std::string_view key) {
  constexpr std::uint64_t odd = 0x9E3779B97F4A7C15u;
  const auto mix = [](std::uint64_t h) {
    h = (h ^ (h >> 30)) * 0xBF58476D1CE4E5B9u;
    h = (h ^ (h >> 27)) * 0x94D049BB133111EBu;
    return h ^ (h >> 31);
  };
  std::uint64_t h = key.size() * odd;
  std::size_t i = 0;
  for (; i + 8 <= key.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, key.data() + i, 8);
    h = mix(h ^ word);
  }
  if (i < key.size()) {
    std::uint64_t word = 0;
    if (key.size() >= 8) {
      std::memcpy(&word, key.data() + key.size() - 8, 8);  // the last eight bytes, overlapping
    } else {
      for (; i < key.size(); ++i) word = word << 8 | static_cast<unsigned char>(key[i]);
    }
    h = mix(h ^ word);
  }
  return static_cast<std::size_t>(h);
}

// A slot of the table: the high half of the name's hash beside 1 + its index in the kept names.
constexpr std::uint64_t indexBits = 0xFFFFFFFFu;
std::uint64_t slotEntry(std::size_t hash, std::size_t index) {
  return (static_cast<std::uint64_t>(hash) & ~indexBits) | static_cast<std::uint64_t>(index);
}

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
  return slots_.empty() ? isKept(key) : slots_[slotOf(key, nameHash(key))] != 0;
}

std::string Namer::unique(std::string_view wanted) { return std::string(name(wanted)); }

std::string_view Namer::name(std::string_view wanted) {
  const std::string_view base = wanted.empty() ? defaultName : wanted;
  std::string storage;
  const std::string_view key = nfcForm(base, storage);
  if (const char* kept = take(key)) return spelled(base, key, kept);
  return numbered(base, key);
}

std::string_view Namer::spelled(std::string_view base, std::string_view key, const char* kept) {
  // A name that is its own NFC form is the kept copy; another spelling is kept beside it. An
  // ASCII name is its own key, the same bytes, so no compare is needed.
  return base.data() == key.data() || base == key ? keptName(kept) : keptName(keep(base));
}

std::string_view Namer::numbered(std::string_view base, std::string_view key) {
  // Names are never removed, so every number below the hint is still taken and the search can
  // resume there. A digit never composes with what precedes it, so the NFC form of base + n is
  // key + n.
  std::uint64_t& hint = nextNumber_[std::string(key)];
  for (std::uint64_t n = std::max(hint, firstNumber);; ++n) {
    const std::string digits = std::to_string(n);
    const std::string candidate = std::string(key) + digits;
    if (const char* kept = take(candidate)) {
      hint = n + 1;
      return base == key ? keptName(kept) : keptName(keep(std::string(base) + digits));
    }
  }
}

const char* Namer::take(std::string_view key) {
  if (slots_.empty()) {
    // The first few names are searched one by one: no table to make, no name to hash.
    if (isKept(key)) return nullptr;
    if (kept_.size() < scannedNames) {
      if (kept_.empty()) kept_.reserve(scannedNames);
      const char* kept = keep(key);
      kept_.push_back({kept, 0});  // hashed once a table is made
      return kept;
    }
    grow();
  } else if ((kept_.size() + 1) * 8 > slots_.size() * 5) {
    grow();
  }
  const std::size_t hash = nameHash(key);
  const std::size_t slot = slotOf(key, hash);
  if (slots_[slot] != 0) return nullptr;
  const char* kept = keep(key);
  kept_.push_back({kept, hash});
  // A name takes at least eight bytes here, so four billion of them never fit in memory.
  slots_[slot] = slotEntry(hash, kept_.size());
  return kept;
}

bool Namer::isKept(std::string_view key) const {
  return std::any_of(kept_.begin(), kept_.end(), [&](const Kept& kept) { return keptName(kept.name) == key; });
}

std::size_t Namer::slotOf(std::string_view key, std::size_t hash) const {
  const std::size_t mask = slots_.size() - 1;
  const std::uint64_t tag = slotEntry(hash, 0);
  for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
    const std::uint64_t entry = slots_[slot];
    if (entry == 0) return slot;
    // A name is compared only when its hash's high half is the key's.
    if ((entry & ~indexBits) == tag && keptName(kept_[(entry & indexBits) - 1].name) == key) return slot;
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
  if (slots_.empty()) {
    for (Kept& kept : kept_) kept.hash = nameHash(keptName(kept.name));
  }
  slots_.assign(std::max(firstSlots, slots_.size() * 2), 0);
  kept_.reserve(slots_.size() * 5 / 8);  // as many names as fit before the next growth
  // Every kept name is distinct, so each goes to the first empty slot of its probe run.
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = 0; i < kept_.size(); ++i) {
    std::size_t slot = kept_[i].hash & mask;
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = slotEntry(kept_[i].hash, i + 1);
  }
}

}  // namespace TarnwickApple
