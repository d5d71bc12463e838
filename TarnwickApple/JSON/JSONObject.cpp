// A JSON object's members in one counted block, in order of their keys' NFC forms: the reader's
// one sort of a written object, lookups, and copy-on-change building in code.
#include <algorithm>
#include <memory>
#include <span>

#include "TarnwickApple/JSON/JSONValue.hpp"
#include "TarnwickApple/JSON/internal/DocumentArena.hpp"
#include "TarnwickApple/Text/Unicode.hpp"

namespace TarnwickApple {
namespace {

using Unicode::isASCII;

// Up to this many members a lookup scans them all: comparing lengths first, that beats a
// binary search's string comparisons for the few keywords a schema node holds.
constexpr std::size_t scannedMembers = 8;

// Up to this many members a read object is put in order by an insertion sort of indices held on
// the stack; a larger one by a merge sort.
constexpr std::size_t sortedOnTheStack = 16;

// Room an object built in code starts with when it first needs some.
constexpr std::size_t firstRoom = 4;

}  // namespace

void JSONObject::release(Block* block) noexcept {
  if (block->references.load(std::memory_order_relaxed) == 0) {  // in a document's arena
    internal::arenaOf(block)->release();
    return;
  }
  if (block->references.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
  std::destroy_n(block->members(), block->size);
  delete block->forms;
  block->self.block_ = nullptr;
  block->~Block();
  ::operator delete(block);
}

void JSONObject::own(std::size_t room) {
  static_assert(sizeof(Block) % alignof(Member) == 0);  // the members follow the header
  if (block_ && block_->references.load(std::memory_order_acquire) == 1 && block_->capacity >= room) return;
  const std::size_t size = this->size();
  void* memory = ::operator new(sizeof(Block) + room * sizeof(Member));
  Block* made = new (memory) Block{{1}, static_cast<std::uint32_t>(size), static_cast<std::uint32_t>(room), 0, nullptr, {}};
  made->self.block_ = made;
  if (block_) {
    made->written = block_->written;
    if (block_->forms) made->forms = new std::vector<std::string>(*block_->forms);
    const std::uint32_t references = block_->references.load(std::memory_order_acquire);
    if (references == 1) {
      std::uninitialized_move_n(block_->members(), size, made->members());
    } else if (references == 0 && internal::arenaOf(block_)->soleReference()) {
      // This handle is all that holds the document: its members are taken rather than copied
      // (a large text among them is handed on whole), each now counting on the arena.
      std::uninitialized_move_n(block_->members(), size, made->members());
      for (Member& member : std::span(made->members(), size)) {
        member.key_.countOutside();
        member.value.countOutside();
      }
    } else {
      std::uninitialized_copy_n(block_->members(), size, made->members());
    }
    release(block_);
  }
  block_ = made;
}

JSONObject::Block* JSONObject::arenaBlock(std::size_t room, internal::DocumentArena& arena, Block* from) {
  auto* made = new (arena.allocate(sizeof(Block) + room * sizeof(Member))) Block{{0}, 0, static_cast<std::uint32_t>(room), 0, nullptr, {}};
  made->self.block_ = made;
  if (from) {  // the old block stays in the arena, its members moved out and its forms handed on
    made->size = from->size;
    made->written = from->written;
    made->forms = std::exchange(from->forms, nullptr);
    std::uninitialized_move_n(from->members(), from->size, made->members());
  }
  return made;
}

std::uint32_t JSONObject::noteForm(std::string_view key) {
  if (isASCII(key)) return 0;  // ASCII text is its own NFC form
  std::string form = Unicode::nfc(key);
  if (form == key) return 0;
  if (!block_->forms) block_->forms = new std::vector<std::string>();
  block_->forms->push_back(std::move(form));
  return static_cast<std::uint32_t>(block_->forms->size());
}

JSONObject JSONObject::withRoom(std::size_t room, internal::DocumentArena& arena) {
  JSONObject object;
  if (room > 0) object.block_ = arenaBlock(room, arena, nullptr);
  return object;
}

void JSONObject::appendWritten(JSONValue&& key, JSONValue&& value, internal::DocumentArena& arena, bool asciiKey) {
  const std::size_t size = this->size();
  if (!block_ || size == block_->capacity) block_ = arenaBlock(std::max(firstRoom, 2 * size), arena, block_);  // only when the count was short
  Member* added = new (block_->members() + size) Member(std::move(key), std::move(value), static_cast<std::uint32_t>(size));
  ++block_->size;
  if (!asciiKey) added->form_ = noteForm(added->key());
}

void JSONObject::closeWritten(std::vector<std::uint32_t>& order) {
  const std::size_t count = size();
  block_->written = static_cast<std::uint32_t>(count);
  if (count < 2) return;
  Member* members = block_->members();
  const std::vector<std::string>* forms = block_->forms;
  // The order is found on indices, then the members are put in it where they are: each moves
  // about once, and no second array is held beside the first.
  std::uint32_t* sorted;
  bool repeated = true;  // some key may be written twice
  std::uint32_t few[sortedOnTheStack];
  if (count <= sortedOnTheStack) {
    const char* keyData[sortedOnTheStack];  // each key as a view, left unset past `count`
    std::size_t keySize[sortedOnTheStack];
    for (std::size_t i = 0; i < count; ++i) {
      const std::string_view key = canonical(members[i], forms);
      keyData[i] = key.data();
      keySize[i] = key.size();
      few[i] = static_cast<std::uint32_t>(i);
    }
    const auto keys = [&](std::uint32_t i) { return std::string_view(keyData[i], keySize[i]); };
    bool inOrder = true;
    repeated = false;
    for (std::size_t i = 1; i < count; ++i) {  // insertion sort: stable, and no buffer
      const std::uint32_t moving = few[i];
      std::size_t j = i;
      for (; j > 0 && keys(moving) < keys(few[j - 1]); --j) few[j] = few[j - 1];
      few[j] = moving;
      inOrder = inOrder && j == i;
      repeated = repeated || (j > 0 && keys(moving) == keys(few[j - 1]));
    }
    if (inOrder && !repeated) return;
    sorted = few;
  } else {
    order.resize(count);
    for (std::size_t i = 0; i < count; ++i) order[i] = static_cast<std::uint32_t>(i);
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
      return canonical(members[a], forms) < canonical(members[b], forms);
    });
    sorted = order.data();
  }
  // Place i takes what was at sorted[i], one cycle of the permutation at a time; a placed index
  // is marked by pointing at itself.
  for (std::size_t i = 0; i < count; ++i) {
    if (sorted[i] == i) continue;
    Member held = std::move(members[i]);
    std::size_t j = i;
    while (sorted[j] != i) {
      const std::size_t from = sorted[j];
      members[j] = std::move(members[from]);
      sorted[j] = static_cast<std::uint32_t>(j);
      j = from;
    }
    members[j] = std::move(held);
    sorted[j] = static_cast<std::uint32_t>(j);
  }
  if (!repeated) return;
  // Keys written more than once: the last spelling and value under the first one's position.
  std::size_t kept = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (kept > 0 && canonical(members[kept - 1], forms) == canonical(members[i], forms)) {
      const std::uint32_t first = members[kept - 1].position;
      members[kept - 1].key_.abandon();  // held in the arena: counted nowhere, unless a large text
      members[kept - 1].value.abandon();
      members[kept - 1] = std::move(members[i]);
      members[kept - 1].position = first;
      continue;
    }
    if (kept != i) members[kept] = std::move(members[i]);
    ++kept;
  }
  if (kept == count) return;
  std::destroy(members + kept, members + count);
  block_->size = static_cast<std::uint32_t>(kept);
  // Positions count distinct keys written before: renumber the survivors' first occurrences.
  std::vector<std::pair<std::uint32_t, std::size_t>> firsts;
  firsts.reserve(kept);
  for (std::size_t i = 0; i < kept; ++i) firsts.emplace_back(members[i].position, i);
  std::sort(firsts.begin(), firsts.end());
  for (std::size_t rank = 0; rank < kept; ++rank) members[firsts[rank].second].position = static_cast<std::uint32_t>(rank);
  block_->written = static_cast<std::uint32_t>(kept);
}

std::size_t JSONObject::indexOf(std::string_view key) const {
  const std::size_t count = size();
  if (count == 0) return 0;
  const Member* members = block_->members();
  const std::vector<std::string>* forms = block_->forms;
  if (count <= scannedMembers) {
    for (std::size_t i = 0; i < count; ++i) {
      const std::string_view form = canonical(members[i], forms);
      if (form.size() == key.size() && form == key) return i;
    }
    return count;
  }
  const Member* at = std::lower_bound(members, members + count, key,
                                      [&](const Member& member, std::string_view k) { return canonical(member, forms) < k; });
  if (at == members + count || canonical(*at, forms) != key) return count;
  return static_cast<std::size_t>(at - members);
}

void JSONObject::insert(std::string key, JSONValue value) {
  const std::size_t size = this->size();
  own(std::max(size + 1, block_ && block_->capacity > size ? std::size_t{block_->capacity} : std::max(firstRoom, 2 * size)));
  Member added(JSONValue::string(std::move(key)), std::move(value), block_->written);
  added.form_ = noteForm(added.key());
  Member* members = block_->members();
  const std::vector<std::string>* forms = block_->forms;
  const std::string_view form = canonical(added, forms);
  Member* at = std::lower_bound(members, members + size, form,
                                [&](const Member& member, std::string_view k) { return canonical(member, forms) < k; });
  if (at != members + size && canonical(*at, forms) == form) {
    added.position = at->position;
    *at = std::move(added);
    return;
  }
  ++block_->written;
  Member* end = members + size;
  if (at == end) {
    new (end) Member(std::move(added));
  } else {
    new (end) Member(std::move(end[-1]));
    std::move_backward(at, end - 1, end);
    *at = std::move(added);
  }
  ++block_->size;
}

const JSONValue* JSONObject::find(std::string_view key) const {
  std::size_t found = indexOf(key);
  if (found == size() && !isASCII(key)) {
    const std::string form = Unicode::nfc(key);
    if (form != key) found = indexOf(form);
  }
  return found == size() ? nullptr : &block_->members()[found].value;
}

std::optional<JSONValue> JSONObject::extract(std::string_view key) {
  std::size_t found = indexOf(key);
  if (found == size()) found = indexOf(Unicode::nfc(key));
  if (found == size()) return std::nullopt;
  own(size());
  Member* members = block_->members();
  const std::size_t count = size();
  JSONValue value = std::move(members[found].value);
  std::move(members + found + 1, members + count, members + found);
  std::destroy_at(members + count - 1);
  --block_->size;
  return value;
}

bool operator==(const JSONObject& a, const JSONObject& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a.canonical(i) != b.canonical(i) || !(a.block_->members()[i].value == b.block_->members()[i].value)) return false;
  }
  return true;
}

}  // namespace TarnwickApple
