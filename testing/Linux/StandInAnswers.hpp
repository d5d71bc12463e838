// Answer documents in the memory the stand-in releases through the backend's release callback,
// and the reference engine's streamed answer in that memory.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "testing/Linux/StandIn.h"
#include "testing/ReferenceBoundary.hpp"

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

// The reference engine's answer to a streamed request, its snapshots handed to `snapshot` until
// that returns 0; null when nothing could be allocated.
inline char* streamedReferenceAnswer(const char* request, std::size_t length, tarnwick_standin_snapshot_fn snapshot,
                                     void* context, std::size_t* answerLength) noexcept {
  try {
    const auto sink = [&](std::string_view text) { return snapshot(context, text.data(), text.size()) != 0; };
    return copyAnswer(answerStreamedRequestDocument(std::string_view(request, length), sink), answerLength);
  } catch (...) {
    return nullptr;
  }
}

}  // namespace TarnwickApple::Engines::StandIn
