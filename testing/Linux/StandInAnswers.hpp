// Answer documents in the memory the stand-in releases through the backend's release callback.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

namespace TarnwickApple::Engines::StandIn {

// A malloc'd copy of `answer` with a NUL after it; null when nothing could be allocated.
inline char* copyAnswer(const std::string& answer, std::size_t* length) noexcept {
  char* out = static_cast<char*>(std::malloc(answer.size() + 1));
  if (out == nullptr) return nullptr;
  std::memcpy(out, answer.c_str(), answer.size() + 1);
  *length = answer.size();
  return out;
}

inline void releaseAnswer(char* answer) noexcept { std::free(answer); }

}  // namespace TarnwickApple::Engines::StandIn
