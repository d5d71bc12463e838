// A read document's arena: blocks taken from a few chunks in turn, the large ones allocated on
// their own, all released at once when the last value pointing into the document goes.
#include "TarnwickApple/JSON/internal/DocumentArena.hpp"

#include "TarnwickApple/JSON/JSONValue.hpp"

#include <algorithm>
#include <new>

namespace TarnwickApple::internal {
namespace {

// Chunks grow to this size and no further: glibc sweeps its free lists whenever a chunk of
// 64 KiB or more is freed, which would cost every small document a sweep.
constexpr std::size_t largestChunk = 32 * 1024;
constexpr std::size_t smallestChunk = 512;
// A block larger than this gets an allocation of its own, so that a chunk left for a new one
// wastes at most an eighth of itself.
constexpr std::size_t largestChunkedBlock = largestChunk / 8;

constexpr std::size_t roundedUp(std::size_t bytes) { return (bytes + 7) & ~std::size_t{7}; }

}  // namespace

// An allocation after the arena's first: a link, then blocks.
struct DocumentArena::Chunk {
  Chunk* next;
};

DocumentArena* DocumentArena::create(std::size_t expectedBytes) {
  const std::size_t first = std::clamp(roundedUp(expectedBytes), smallestChunk, largestChunk);
  constexpr std::size_t header = roundedUp(sizeof(DocumentArena));
  void* memory = ::operator new(header + first);
  auto* arena = new (memory) DocumentArena();
  arena->next_ = static_cast<char*>(memory) + header;
  arena->end_ = arena->next_ + first;
  arena->chunkBytes_ = std::min(2 * first, largestChunk);
  return arena;
}

void* DocumentArena::allocate(std::size_t bytes) {
  static_assert(sizeof(Chunk) % 8 == 0);  // blocks after the link stay 8-aligned
  const std::size_t needed = sizeof(DocumentArena*) + roundedUp(bytes);
  char* at;
  if (needed > largestChunkedBlock) {
    auto* own = static_cast<Chunk*>(::operator new(sizeof(Chunk) + needed));
    own->next = chunks_;
    chunks_ = own;
    at = reinterpret_cast<char*>(own + 1);
  } else {
    if (static_cast<std::size_t>(end_ - next_) < needed) {
      const std::size_t bytes = std::max(chunkBytes_, needed);
      auto* chunk = static_cast<Chunk*>(::operator new(sizeof(Chunk) + bytes));
      chunk->next = chunks_;
      chunks_ = chunk;
      next_ = reinterpret_cast<char*>(chunk + 1);
      end_ = next_ + bytes;
      chunkBytes_ = std::min(2 * chunkBytes_, largestChunk);
    }
    at = next_;
    next_ += needed;
  }
  DocumentArena* self = this;
  std::memcpy(at, &self, sizeof self);
  return at + sizeof self;
}

void DocumentArena::tend(void* block, bool members) { tended_.emplace_back(block, members); }

void DocumentArena::destroy() noexcept {
  for (const auto& [block, members] : tended_) releaseTended(block, members);
  for (Chunk* chunk = chunks_; chunk != nullptr;) {
    Chunk* next = chunk->next;
    ::operator delete(chunk);
    chunk = next;
  }
  this->~DocumentArena();
  ::operator delete(this);
}

}  // namespace TarnwickApple::internal
