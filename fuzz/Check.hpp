// How a fuzz target reports a broken property: a line on stderr and an abort, which libFuzzer
// records as a crash together with the input that caused it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace Fuzz {

[[noreturn]] inline void fail(std::string_view what, std::string_view detail = {}) {
  std::fprintf(stderr, "property broken: %.*s\n", static_cast<int>(what.size()), what.data());
  if (!detail.empty()) {
    // Long details (a whole reply line) are cut; the input that caused them is saved anyway.
    constexpr std::size_t shown = 2000;
    std::fprintf(stderr, "  %.*s%s\n", static_cast<int>(detail.size() < shown ? detail.size() : shown),
                 detail.data(), detail.size() > shown ? "..." : "");
  }
  std::abort();
}

inline void require(bool holds, std::string_view what, std::string_view detail = {}) {
  if (!holds) fail(what, detail);
}

}  // namespace Fuzz
