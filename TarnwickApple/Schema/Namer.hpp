// Hands out the type names of one schema translation, never the same name twice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace TarnwickApple {

class Namer {
 public:
  // Records `name` as taken without uniquing (definition names).
  void reserve(std::string_view name);

  bool isTaken(std::string_view name) const;

  // `wanted` when free, else `wanted` followed by 2, 3, ...; "Schema" for an empty wanted name.
  // The answer is recorded as taken.
  std::string unique(std::string_view wanted);
  // The same name, kept by the namer: the view lives as long as the namer, and no string is made
  // for a name that is already NFC (every ASCII one).
  std::string_view name(std::string_view wanted);

 private:
  // The first free `base` followed by 2, 3, ..., whose NFC form `key` is taken.
  std::string_view numbered(std::string_view base, std::string_view key);
  // `base`, spelled as wanted, when its NFC form `key` was just taken as `kept`.
  std::string_view spelled(std::string_view base, std::string_view key, const char* kept);
  // Records an NFC form and answers its kept copy; null when it was taken already.
  const char* take(std::string_view key);
  // True when `key` is among the kept names, searched one by one (before there is a table).
  bool isKept(std::string_view key) const;
  // The slot holding `key` (whose hash is `hash`), or the empty slot where it would go.
  std::size_t slotOf(std::string_view key, std::size_t hash) const;
  // A copy of `key` in the blocks, as its length followed by its bytes.
  const char* keep(std::string_view key);
  void grow();

  // Every name is kept once, so a schema of many properties costs the names' bytes and about
  // twenty bytes each, where a set of strings costs a node of fifty bytes and more a name.
  std::vector<std::unique_ptr<char[]>> blocks_;  // the taken NFC forms, end to end
  std::size_t blockUsed_ = 0;
  std::size_t blockSize_ = 0;
  struct Kept {
    const char* name;  // in the blocks
    std::size_t hash;  // of the name, so that a growing table hashes no name again (0 before there is a table)
  };
  std::vector<Kept> kept_;            // each taken name, in the order taken
  std::vector<std::uint64_t> slots_;  // open addressing with linear probing: 0 empty, else the high half of the
                                      // name's hash and 1 + an index of kept_; none while few names are kept
  std::unordered_map<std::string, std::uint64_t> nextNumber_;  // per NFC base: no number below is free
};

}  // namespace TarnwickApple
