// The JSON value: its compact storage (scalars and short strings in place, longer strings and
// arrays in counted blocks), construction, accessors and equality.
#include "TarnwickApple/JSON/JSONValue.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "TarnwickApple/JSON/internal/DocumentArena.hpp"
#include "TarnwickApple/Text/Unicode.hpp"

namespace TarnwickApple {
namespace {

// A string's bytes, right after this header.
struct TextBlock {
  std::atomic<std::uint32_t> references;
  std::uint32_t size;
  char* chars() { return reinterpret_cast<char*>(this + 1); }
};

// A string too large to copy when it is handed over.
struct LargeText {
  std::atomic<std::uint32_t> references;
  std::string text;
};

// An array's elements, right after this header, and the view of them arrayValue() hands out.
struct ElementBlock {
  std::atomic<std::uint32_t> references;
  std::uint32_t capacity;
  JSONElements view;
  JSONValue* elements() { return reinterpret_cast<JSONValue*>(this + 1); }
  std::size_t size() const { return view.size(); }
};
static_assert(sizeof(ElementBlock) % alignof(JSONValue) == 0);

// An element block of its own (counted), or in `arena` (counting nothing).
ElementBlock* newElementBlock(std::size_t capacity, internal::DocumentArena* arena = nullptr) {
  const std::size_t bytes = sizeof(ElementBlock) + capacity * sizeof(JSONValue);
  void* room = arena ? arena->allocate(bytes) : ::operator new(bytes);
  auto* block = new (room) ElementBlock{{arena ? 0u : 1u}, static_cast<std::uint32_t>(capacity), {}};
  block->view = JSONElements(block->elements(), 0);
  return block;
}

bool lastReference(std::atomic<std::uint32_t>& references) { return references.fetch_sub(1, std::memory_order_acq_rel) == 1; }

// A block whose count is 0 lives in a document's arena; every other live block counts itself.
bool inArena(const std::atomic<std::uint32_t>& references) { return references.load(std::memory_order_relaxed) == 0; }

void retain(std::atomic<std::uint32_t>& references, const void* block) {
  if (inArena(references)) {
    internal::arenaOf(block)->retain();
  } else {
    references.fetch_add(1, std::memory_order_relaxed);
  }
}

}  // namespace

void internal::retainArenaOf(const void* block) noexcept { arenaOf(block)->retain(); }

void internal::releaseTended(void* block, bool members) noexcept {
  if (members) {
    auto* object = static_cast<JSONObject::Block*>(block);
    for (JSONObject::Member& member : std::span(object->members(), object->size)) {
      if (member.key_.isLargeText()) member.key_.release();
      if (member.value.isLargeText()) member.value.release();
    }
    delete object->forms;
    object->forms = nullptr;
    return;
  }
  auto* array = static_cast<ElementBlock*>(block);
  for (JSONValue& element : std::span(array->elements(), array->size())) {
    if (element.isLargeText()) element.release();
  }
}

namespace {

}  // namespace

JSONValue::DecodeError::DecodeError(std::size_t offset, std::string reason, std::optional<OutOfRange> outOfRange)
    : std::runtime_error(reason), offset_(offset), reason_(std::move(reason)), outOfRange_(std::move(outOfRange)) {}

JSONValue::JSONValue(const JSONValue& other) noexcept : tag_(other.tag_) {
  std::memcpy(bytes_, other.bytes_, sizeof bytes_);
  switch (tag_) {
    case Tag::blockText: {
      TextBlock* block = load<TextBlock*>();
      retain(block->references, block);
      break;
    }
    case Tag::largeText: load<LargeText*>()->references.fetch_add(1, std::memory_order_relaxed); break;
    case Tag::array:
      if (ElementBlock* block = load<ElementBlock*>()) retain(block->references, block);
      break;
    case Tag::object:
      if (JSONObject::Block* block = load<JSONObject::Block*>()) retain(block->references, block);
      break;
    case Tag::null: case Tag::boolean: case Tag::integer: case Tag::number: case Tag::numberText:
    case Tag::wholeText: case Tag::inPlaceText: break;
  }
}

JSONValue& JSONValue::operator=(const JSONValue& other) noexcept {
  JSONValue copy(other);
  drop();
  take(copy);
  return *this;
}

void JSONValue::release() noexcept {
  switch (tag_) {
    case Tag::blockText: {
      TextBlock* block = load<TextBlock*>();
      if (inArena(block->references)) {
        internal::arenaOf(block)->release();
      } else if (lastReference(block->references)) {
        ::operator delete(block);
      }
      break;
    }
    case Tag::largeText: {
      LargeText* block = load<LargeText*>();
      if (lastReference(block->references)) delete block;
      break;
    }
    case Tag::array: {
      ElementBlock* block = load<ElementBlock*>();
      if (block == nullptr) break;
      if (inArena(block->references)) {
        internal::arenaOf(block)->release();
        break;
      }
      if (!lastReference(block->references)) break;
      std::destroy_n(block->elements(), block->size());
      ::operator delete(block);
      break;
    }
    case Tag::object:
      if (JSONObject::Block* block = load<JSONObject::Block*>()) JSONObject::release(block);
      break;
    case Tag::null: case Tag::boolean: case Tag::integer: case Tag::number: case Tag::numberText:
    case Tag::wholeText: case Tag::inPlaceText: break;
  }
  tag_ = Tag::null;
}

JSONValue JSONValue::boolean(bool value) {
  JSONValue made;
  made.tag_ = Tag::boolean;
  made.store(value);
  return made;
}

JSONValue JSONValue::integer(std::int64_t value) {
  JSONValue made;
  made.tag_ = Tag::integer;
  made.store(value);
  return made;
}

JSONValue JSONValue::number(double value) {
  JSONValue made;
  made.tag_ = Tag::number;
  made.store(value);
  return made;
}

JSONValue JSONValue::numberFromText(double value, std::optional<std::uint64_t> exactUnsigned) {
  JSONValue made;
  // The literal's double is the nearest to its exact value, so a whole one is read back from it.
  if (exactUnsigned) {
    made.tag_ = Tag::wholeText;
    made.store(*exactUnsigned);
  } else {
    made.tag_ = Tag::numberText;
    made.store(value);
  }
  return made;
}

inline JSONValue JSONValue::inPlace(std::string_view text) {
  JSONValue made;
  made.tag_ = Tag::inPlaceText;
  std::memcpy(made.bytes_, text.data(), text.size());
  made.bytes_[longestInPlaceString] = static_cast<unsigned char>(text.size());
  return made;
}

JSONValue JSONValue::text(std::string_view text) {
  if (text.size() <= longestInPlaceString) return inPlace(text);
  JSONValue made;
  if (text.size() <= longestBlockString) {
    void* room = ::operator new(sizeof(TextBlock) + text.size());
    auto* block = new (room) TextBlock{{1}, static_cast<std::uint32_t>(text.size())};
    std::memcpy(block->chars(), text.data(), text.size());
    made.tag_ = Tag::blockText;
    made.store(block);
  } else {
    made.tag_ = Tag::largeText;
    made.store(new LargeText{{1}, std::string(text)});
  }
  return made;
}

JSONValue JSONValue::text(std::string_view text, internal::DocumentArena& arena) {
  if (text.size() <= longestInPlaceString) return inPlace(text);  // most keys
  if (text.size() > longestBlockString) return JSONValue::text(text);
  auto* block = new (arena.allocate(sizeof(TextBlock) + text.size())) TextBlock{{0}, static_cast<std::uint32_t>(text.size())};
  std::memcpy(block->chars(), text.data(), text.size());
  JSONValue made;
  made.tag_ = Tag::blockText;
  made.store(block);
  return made;
}

JSONValue JSONValue::string(std::string value) {
  if (value.size() <= longestBlockString) return text(value);
  JSONValue made;
  made.tag_ = Tag::largeText;
  made.store(new LargeText{{1}, std::move(value)});
  return made;
}

JSONValue JSONValue::arrayWithRoom(std::size_t room, internal::DocumentArena* arena) {
  JSONValue made;
  made.tag_ = Tag::array;
  made.store(room == 0 ? nullptr : newElementBlock(room, arena));
  return made;
}

void JSONValue::append(JSONValue&& element, internal::DocumentArena* arena) {
  ElementBlock* block = load<ElementBlock*>();
  if (block == nullptr || block->size() == block->capacity) {  // only when the count was short
    ElementBlock* grown = newElementBlock(block ? 2 * std::size_t{block->capacity} : 4, arena);
    if (block) {
      std::uninitialized_move_n(block->elements(), block->size(), grown->elements());
      grown->view = JSONElements(grown->elements(), block->size());
      // A block of its own goes; one in the arena stays there, its elements moved out.
      if (!arena) {
        std::destroy_n(block->elements(), block->size());
        ::operator delete(block);
      }
    }
    block = grown;
    store(block);
  }
  const std::size_t size = block->size();
  new (block->elements() + size) JSONValue(std::move(element));
  block->view = JSONElements(block->elements(), size + 1);
}

void JSONValue::abandon() noexcept {
  if (tag_ == Tag::largeText) {
    release();
  } else {
    tag_ = Tag::null;
  }
}

void JSONValue::countOutside() noexcept {
  const auto count = [](const auto* block) {
    if (block && inArena(block->references)) internal::arenaOf(block)->retain();
  };
  switch (tag_) {
    case Tag::blockText: count(load<TextBlock*>()); break;
    case Tag::array: count(load<ElementBlock*>()); break;
    case Tag::object: count(load<JSONObject::Block*>()); break;
    case Tag::largeText:  // counted wherever it is held
    case Tag::null: case Tag::boolean: case Tag::integer: case Tag::number: case Tag::numberText:
    case Tag::wholeText: case Tag::inPlaceText: break;
  }
}

JSONValue JSONValue::array(JSONArray elements) {
  JSONValue made = arrayWithRoom(elements.size());
  for (JSONValue& element : elements) made.append(std::move(element));
  return made;
}

JSONValue JSONValue::object(JSONObject members) {
  JSONValue made;
  made.tag_ = Tag::object;
  made.store(std::exchange(members.block_, nullptr));
  return made;
}

JSONValue JSONValue::null() { return JSONValue(); }

JSONValue::Case JSONValue::kind() const {
  switch (tag_) {
    case Tag::null: return Case::null;
    case Tag::boolean: return Case::boolean;
    case Tag::integer: return Case::integer;
    case Tag::number: case Tag::numberText: case Tag::wholeText: return Case::number;
    case Tag::inPlaceText: case Tag::blockText: case Tag::largeText: return Case::string;
    case Tag::array: return Case::array;
    case Tag::object: return Case::object;
  }
  return Case::null;
}

std::optional<bool> JSONValue::boolValue() const {
  if (tag_ == Tag::boolean) return load<bool>();
  return std::nullopt;
}

const JSONValue* JSONValue::operator[](std::string_view key) const {
  const JSONObject* members = objectValue();
  return members ? members->find(key) : nullptr;
}

std::optional<std::string_view> JSONValue::stringValue() const {
  switch (tag_) {
    case Tag::inPlaceText: return std::string_view(reinterpret_cast<const char*>(bytes_), bytes_[longestInPlaceString]);
    case Tag::blockText: {
      TextBlock* block = load<TextBlock*>();
      return std::string_view(block->chars(), block->size);
    }
    case Tag::largeText: return std::string_view(load<LargeText*>()->text);
    case Tag::null: case Tag::boolean: case Tag::integer: case Tag::number: case Tag::numberText:
    case Tag::wholeText: case Tag::array: case Tag::object: return std::nullopt;
  }
  return std::nullopt;
}

std::optional<std::string> JSONValue::releaseString(JSONValue&& value) {
  if (value.tag_ == Tag::largeText) {
    LargeText* block = value.load<LargeText*>();
    value.tag_ = Tag::null;
    std::string text = block->references.load(std::memory_order_acquire) == 1 ? std::move(block->text) : block->text;
    if (lastReference(block->references)) delete block;
    return text;
  }
  std::optional<std::string> text;
  if (const auto view = value.stringValue()) text.emplace(*view);
  value = JSONValue();
  return text;
}

std::optional<std::int64_t> JSONValue::integerValue() const {
  if (tag_ == Tag::integer) return load<std::int64_t>();
  const std::optional<double> number = doubleValue();
  if (!number) return std::nullopt;
  const double d = *number;
  // Whole, and within [-2^63, 2^63): NaN fails the first test, the infinities the others.
  if (std::trunc(d) != d) return std::nullopt;
  if (!(d >= -9223372036854775808.0) || !(d < 9223372036854775808.0)) return std::nullopt;
  return static_cast<std::int64_t>(d);
}

std::optional<double> JSONValue::doubleValue() const {
  switch (tag_) {
    case Tag::integer: return static_cast<double>(load<std::int64_t>());
    case Tag::number: case Tag::numberText: return load<double>();
    case Tag::wholeText: return static_cast<double>(load<std::uint64_t>());
    case Tag::null: case Tag::boolean: case Tag::inPlaceText: case Tag::blockText: case Tag::largeText:
    case Tag::array: case Tag::object: return std::nullopt;
  }
  return std::nullopt;
}

std::optional<std::int64_t> JSONValue::exactIntegerValue() const {
  // The reader makes every literal whose exact value is a whole signed 64-bit integer an integer.
  if (tag_ == Tag::numberText || tag_ == Tag::wholeText) return std::nullopt;
  return integerValue();
}

std::optional<std::uint64_t> JSONValue::unsignedValue() const {
  switch (tag_) {
    case Tag::integer: {
      const std::int64_t i = load<std::int64_t>();
      if (i >= 0) return static_cast<std::uint64_t>(i);
      return std::nullopt;
    }
    case Tag::wholeText: return load<std::uint64_t>();
    case Tag::number: {
      const double d = load<double>();
      if (std::trunc(d) != d || !(d >= 0.0) || !(d < 18446744073709551616.0)) return std::nullopt;
      return static_cast<std::uint64_t>(d);
    }
    case Tag::numberText: case Tag::null: case Tag::boolean: case Tag::inPlaceText: case Tag::blockText:
    case Tag::largeText: case Tag::array: case Tag::object: return std::nullopt;
  }
  return std::nullopt;
}

const JSONElements* JSONValue::arrayValue() const {
  static const JSONElements empty;
  if (tag_ != Tag::array) return nullptr;
  ElementBlock* block = load<ElementBlock*>();
  return block ? &block->view : &empty;
}

const JSONObject* JSONValue::objectValue() const {
  static const JSONObject empty;
  if (tag_ != Tag::object) return nullptr;
  JSONObject::Block* block = load<JSONObject::Block*>();
  return block ? &block->self : &empty;
}

bool operator==(const JSONValue& a, const JSONValue& b) {
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case JSONValue::Case::boolean: return *a.boolValue() == *b.boolValue();
    case JSONValue::Case::integer: return *a.integerValue() == *b.integerValue();
    case JSONValue::Case::number: return *a.doubleValue() == *b.doubleValue();
    case JSONValue::Case::string: return Unicode::canonicallyEqual(*a.stringValue(), *b.stringValue());
    case JSONValue::Case::array: return std::ranges::equal(*a.arrayValue(), *b.arrayValue());
    case JSONValue::Case::object: return *a.objectValue() == *b.objectValue();
    case JSONValue::Case::null: return true;
  }
  return false;
}

}  // namespace TarnwickApple
