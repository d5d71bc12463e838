// Hands out the type names of one schema translation, never the same name twice.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace TarnwickApple {

class Namer {
 public:
  // Records `name` as taken without uniquing (definition names).
  void reserve(std::string_view name);

  bool isTaken(std::string_view name) const;

  // `wanted` when free, else `wanted` followed by 2, 3, ...; "Schema" for an empty wanted name.
  // The answer is recorded as taken.
  std::string unique(std::string_view wanted);

 private:
  std::unordered_set<std::string> taken_;                 // NFC forms
  std::unordered_map<std::string, std::uint64_t> nextNumber_;  // per NFC base: no number below is free
};

}  // namespace TarnwickApple
