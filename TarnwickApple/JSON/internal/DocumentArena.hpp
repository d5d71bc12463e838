// One read document's blocks, allocated together and released together: a document of a few
// hundred values costs one or two allocations, and dropping it walks nothing.
//
// Counting: a block in an arena keeps its own count at 0, which marks it as an arena block (a
// live block of its own has at least 1). A value held outside the arena that points into it holds
// one reference on the whole arena; a value inside an arena block (a member, an element) holds
// none, except on a large text (a string of its own, counted as anywhere else), which the arena
// releases when it goes, from the blocks it was told hold one.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace TarnwickApple::internal {

class DocumentArena {
 public:
  // A new arena with room for about `expectedBytes` of blocks, holding one reference (its
  // maker's). Throws std::bad_alloc.
  static DocumentArena* create(std::size_t expectedBytes);

  // Room for a block of `bytes`, 8-aligned, that arenaOf finds this arena from. Throws
  // std::bad_alloc.
  void* allocate(std::size_t bytes);

  void retain() noexcept { references_.fetch_add(1, std::memory_order_relaxed); }
  void release() noexcept {
    if (references_.fetch_sub(1, std::memory_order_acq_rel) == 1) destroy();
  }
  // True when the caller's reference is the only one: nothing else can see the arena's blocks.
  bool soleReference() const noexcept { return references_.load(std::memory_order_acquire) == 1; }

  // Notes a block that holds a large text or owns a list of key forms, once, when it is complete.
  void tend(void* block, bool members);

 private:
  struct Chunk;
  DocumentArena() = default;
  void destroy() noexcept;

  std::atomic<std::uint32_t> references_{1};
  char* next_ = nullptr;  // free room in the current chunk
  char* end_ = nullptr;
  std::size_t chunkBytes_ = 0;  // the size of the next chunk
  Chunk* chunks_ = nullptr;     // every allocation after the first, newest first
  std::vector<std::pair<void*, bool>> tended_;  // a block, and whether it is an object's
};

// The arena a block was allocated in: the word before the block.
inline DocumentArena* arenaOf(const void* block) noexcept {
  DocumentArena* arena;
  std::memcpy(&arena, static_cast<const char*>(block) - sizeof arena, sizeof arena);
  return arena;
}

// releaseTended (declared with the value, whose layout it reads) releases what a tended block
// holds outside the arena: its large texts, an object's key forms.

}  // namespace TarnwickApple::internal
