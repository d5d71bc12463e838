// An immutable JSON value tree, read from JSON text with our own number classification and
// nesting limit (the reader is JSONReader.cpp). A value is 16 bytes; an array or object is one
// counted block shared between copies, so copying a tree copies no text and no members. A read
// document's blocks sit in one arena, counted as a whole (JSON/internal/DocumentArena.hpp).
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <new>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace TarnwickApple {

class JSONValue;
class JSONObject;
namespace internal {
class DocumentArena;
// Counts one more value outside a document's arena pointing at `block`, one of its blocks.
void retainArenaOf(const void* block) noexcept;
// Releases what a block in a document's arena holds outside it: its large texts, and an
// object's (`members`) key forms.
void releaseTended(void* block, bool members) noexcept;
}  // namespace internal

// Elements gathered in code for JSONValue::array.
using JSONArray = std::vector<JSONValue>;
// An array value's elements, as held in the tree (or any run of values).
using JSONElements = std::span<const JSONValue>;

class JSONValue {
 public:
  enum class Case { boolean, integer, number, string, array, object, null };

  // Deepest nesting of arrays and objects the reader accepts; deeper documents are unreadable.
  static constexpr std::size_t maximumNesting = 512;
  // Longest string held inside the value itself, with no allocation: most keywords and names.
  static constexpr std::size_t longestInPlaceString = 14;
  // Longest string copied into a shared block of its own; a longer one keeps its std::string, so
  // that releaseString hands a large text (a prompt) over without copying it.
  static constexpr std::size_t longestBlockString = 4096;

  // Raised by `decode` for any text that is not one readable JSON value: where reading failed
  // (a byte offset from the start of the whole text) and why, in a short phrase for people.
  class DecodeError : public std::runtime_error {
   public:
    // A text that is JSON but holds a number no double holds: where the first such number sits
    // (a JSON Pointer) and how it was written (a long literal cut short).
    struct OutOfRange {
      std::string pointer;
      std::string literal;
    };

    DecodeError(std::size_t offset, std::string reason, std::optional<OutOfRange> outOfRange = std::nullopt);
    std::size_t offset() const { return offset_; }
    const std::string& reason() const { return reason_; }
    const std::optional<OutOfRange>& outOfRange() const { return outOfRange_; }

   private:
    std::size_t offset_;
    std::string reason_;
    std::optional<OutOfRange> outOfRange_;
  };

  JSONValue() noexcept : bytes_{}, tag_(Tag::null) {}  // null
  JSONValue(const JSONValue& other) noexcept;
  JSONValue(JSONValue&& other) noexcept { take(other); }
  JSONValue& operator=(const JSONValue& other) noexcept;
  // Taken over before this value is dropped: `other` may be held inside it.
  JSONValue& operator=(JSONValue&& other) noexcept {
    JSONValue taken(std::move(other));
    drop();
    take(taken);
    return *this;
  }
  ~JSONValue() { drop(); }

  static JSONValue boolean(bool value);
  static JSONValue integer(std::int64_t value);
  static JSONValue number(double value);
  static JSONValue string(std::string value);
  static JSONValue array(JSONArray elements);
  static JSONValue object(JSONObject members);
  static JSONValue null();

  // Reads exactly one JSON value (a leading UTF-8 byte-order mark skipped, white space around it
  // allowed). Throws DecodeError for anything else.
  static JSONValue decode(std::string_view text);
  // The same reading over text held in pieces (stdin as it was read), each piece released as
  // soon as the reader has passed it, so a large text is not held while its tree is built.
  static JSONValue decodeReleasing(std::vector<std::string>&& pieces);

  Case kind() const;
  bool isNull() const { return tag_ == Tag::null; }
  bool isBool() const { return tag_ == Tag::boolean; }
  std::optional<bool> boolValue() const;

  // Key lookup: the member under `key` (canonically equivalent keys are the same key) for an
  // object, nothing for a missing key and for every other case.
  const JSONValue* operator[](std::string_view key) const;

  // The text of a string, valid while this value (or a copy sharing it) lives.
  std::optional<std::string_view> stringValue() const;
  std::optional<std::int64_t> integerValue() const;
  std::optional<double> doubleValue() const;
  // The elements of an array, held where every copy of the value finds them.
  const JSONElements* arrayValue() const;
  const JSONObject* objectValue() const;

  // The exact readings of a whole number, however it was written: the value of an integer, or
  // of a number whose exact value (the literal's when read from text, the double's when built
  // directly) is whole and in range. `integerValue` reads a number through its double instead,
  // so -9223372036854775808.5 read from text has an integer reading there and none here.
  std::optional<std::int64_t> exactIntegerValue() const;
  std::optional<std::uint64_t> unsignedValue() const;  // 0 to 2^64-1

  // Hands over the string payload of a value about to be dropped: moved out when no other copy
  // shares it (no copy of a large text), copied otherwise. Nothing for other cases.
  static std::optional<std::string> releaseString(JSONValue&& value);

  friend bool operator==(const JSONValue& a, const JSONValue& b);

 private:
  // Kinds that own a counted block come last, so that dropping a scalar is one comparison.
  enum class Tag : unsigned char {
    null,
    boolean,
    integer,
    number,       // built from a double
    numberText,   // read from a literal whose exact value is not whole or beyond 64 bits
    wholeText,    // read from a literal whose exact value is a whole number above 2^63-1
    inPlaceText,  // the bytes in bytes_, their count in bytes_[longestInPlaceString]
    blockText,
    largeText,
    array,
    object,
  };
  friend class JSONReader;
  friend class JSONObject;
  friend void internal::releaseTended(void* block, bool members) noexcept;

  template <class T>
  T load() const {
    T value;
    std::memcpy(&value, bytes_, sizeof value);
    return value;
  }
  template <class T>
  void store(T value) {
    std::memcpy(bytes_, &value, sizeof value);
  }
  void take(JSONValue& other) noexcept {
    std::memcpy(bytes_, other.bytes_, sizeof bytes_);
    tag_ = std::exchange(other.tag_, Tag::null);
  }
  void drop() noexcept {
    if (tag_ >= Tag::blockText) release();
  }
  void release() noexcept;

  // The text of a string value, empty for any other: in place without a call (a short key),
  // else through stringValue.
  std::string_view inPlaceOrStoredText() const {
    if (tag_ == Tag::inPlaceText) return std::string_view(reinterpret_cast<const char*>(bytes_), bytes_[longestInPlaceString]);
    return stringValue().value_or(std::string_view());
  }
  // A string of at most longestInPlaceString bytes.
  static JSONValue inPlace(std::string_view text);
  // A string held by its size; the reader's are kept in the document's arena.
  static JSONValue text(std::string_view text);
  static JSONValue text(std::string_view text, internal::DocumentArena& arena);
  // A number read from a literal whose exact value is not a whole signed 64-bit integer.
  static JSONValue numberFromText(double value, std::optional<std::uint64_t> exactUnsigned);
  // An array filled in order: room for `room` elements, grown if the count was short; the
  // reader's are kept in the document's arena (`arena`), those built in code in blocks of their own.
  static JSONValue arrayWithRoom(std::size_t room, internal::DocumentArena* arena = nullptr);
  void append(JSONValue&& element, internal::DocumentArena* arena = nullptr);

  bool isLargeText() const { return tag_ == Tag::largeText; }
  // Drops a value held inside a document's arena (or by its reader), which counts nothing on the
  // arena: a large text is released, anything else forgotten.
  void abandon() noexcept;
  // A value taken out of an arena block becomes one held outside it, and counts.
  void countOutside() noexcept;

  alignas(8) unsigned char bytes_[15];
  Tag tag_;
};

// A JSON object's members: unique keys up to canonical equivalence. Members are visited in
// ascending order of their keys' NFC forms; each remembers where it was first written. They are
// held in one counted block in that order (shared between copies, copied on a change), so an
// object is one allocation and a lookup a scan or a binary search.
class JSONObject {
 public:
  class Member {
   public:
    Member(JSONValue&& key, JSONValue&& value, std::uint32_t position)
        : key_(std::move(key)), value(std::move(value)), position(position) {}
    // The key as written in the document (the last spelling seen).
    std::string_view key() const { return key_.inPlaceOrStoredText(); }

   private:
    JSONValue key_;  // a string value: a short key is held in place, with no allocation

   public:
    JSONValue value;
    // How many other keys were written before this one's first occurrence (insertion order for
    // objects built in code); only explanations for people read it.
    std::uint32_t position = 0;

   private:
    friend class JSONObject;
    friend void internal::releaseTended(void* block, bool members) noexcept;
    // 1 + the index of the key's NFC form among the block's forms where it differs from the
    // spelling (rare); 0 when the spelling is its own NFC form.
    std::uint32_t form_ = 0;
  };

 private:
  struct Block;

 public:
  // What a visit yields: the key's NFC form and the member.
  using Entry = std::pair<std::string_view, const Member&>;
  class Iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = Entry;
    using difference_type = std::ptrdiff_t;
    using reference = Entry;
    struct pointer {
      Entry entry;
      const Entry* operator->() const { return &entry; }
    };
    Iterator() = default;
    Entry operator*() const { return Entry(canonical(*at_, forms_), *at_); }
    pointer operator->() const { return pointer{**this}; }
    Iterator& operator++() {
      ++at_;
      return *this;
    }
    Iterator operator++(int) {
      Iterator was = *this;
      ++at_;
      return was;
    }
    friend bool operator==(const Iterator& a, const Iterator& b) { return a.at_ == b.at_; }

   private:
    friend class JSONObject;
    Iterator(const Member* at, const std::vector<std::string>* forms) : at_(at), forms_(forms) {}
    const Member* at_ = nullptr;
    const std::vector<std::string>* forms_ = nullptr;
  };

  JSONObject() noexcept = default;
  JSONObject(const JSONObject& other) noexcept;
  JSONObject(JSONObject&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
  JSONObject& operator=(JSONObject other) noexcept {
    std::swap(block_, other.block_);
    return *this;
  }
  ~JSONObject();

  // Adds a member; a key canonically equal to an existing one replaces its spelling and value
  // (the last one wins) and keeps its place in the written order.
  void insert(std::string key, JSONValue value);

  const JSONValue* find(std::string_view key) const;
  // Removes and returns the member under `key` (for taking a document apart after reading).
  std::optional<JSONValue> extract(std::string_view key);
  std::size_t size() const;
  bool empty() const { return size() == 0; }

  Iterator begin() const;
  Iterator end() const;

  friend bool operator==(const JSONObject& a, const JSONObject& b);

 private:
  friend class JSONReader;
  friend class JSONValue;
  friend void internal::releaseTended(void* block, bool members) noexcept;
  static std::string_view canonical(const Member& member, const std::vector<std::string>* forms) {
    return member.form_ ? std::string_view((*forms)[member.form_ - 1]) : member.key();
  }
  std::string_view canonical(std::size_t index) const;
  static void release(Block* block) noexcept;
  // Makes this object the sole owner of a block with room for `room` members.
  void own(std::size_t room);
  // The key's NFC form where it differs from the spelling, noted among the block's forms.
  std::uint32_t noteForm(std::string_view key);

  // The reader's way in, in the document's arena: members appended as written (each one's
  // position its index), then put in order with repeated keys folded, once; `order` is room for
  // the sort. The object's handle counts nothing on the arena.
  static JSONObject withRoom(std::size_t room, internal::DocumentArena& arena);
  // `asciiKey`: the key is known to be ASCII, its own NFC form.
  void appendWritten(JSONValue&& key, JSONValue&& value, internal::DocumentArena& arena, bool asciiKey);
  void closeWritten(std::vector<std::uint32_t>& order);
  // A new arena block with room for `room` members, the first `size` of them moved from `from`.
  static Block* arenaBlock(std::size_t room, internal::DocumentArena& arena, Block* from);
  // The reader's handle on an arena block it is abandoning: forgotten, not released.
  void abandon() noexcept { block_ = nullptr; }
  // The index of the member whose NFC form is `canonical`, or size().
  std::size_t indexOf(std::string_view canonical) const;

  Block* block_ = nullptr;
};

// The block's own handle is what objectValue() points at: the same address for every copy of a
// value, and a copy made through it shares the block.
struct JSONObject::Block {
  std::atomic<std::uint32_t> references;  // 0 for a block in a document's arena
  std::uint32_t size;
  std::uint32_t capacity;
  std::uint32_t written;            // the next member's position
  std::vector<std::string>* forms;  // NFC forms that differ from their spelling, if any
  JSONObject self;                  // not counted among the references
  Member* members() { return reinterpret_cast<Member*>(this + 1); }
};

inline JSONObject::JSONObject(const JSONObject& other) noexcept : block_(other.block_) {
  if (block_ == nullptr) return;
  if (block_->references.load(std::memory_order_relaxed) == 0) {
    internal::retainArenaOf(block_);
  } else {
    block_->references.fetch_add(1, std::memory_order_relaxed);
  }
}
inline JSONObject::~JSONObject() {
  if (block_) release(block_);
}
inline std::size_t JSONObject::size() const { return block_ ? block_->size : 0; }
inline JSONObject::Iterator JSONObject::begin() const {
  return block_ ? Iterator(block_->members(), block_->forms) : Iterator();
}
inline JSONObject::Iterator JSONObject::end() const {
  return block_ ? Iterator(block_->members() + block_->size, block_->forms) : Iterator();
}
inline std::string_view JSONObject::canonical(std::size_t index) const { return canonical(block_->members()[index], block_->forms); }

static_assert(sizeof(JSONValue) == 16);
static_assert(sizeof(JSONObject::Member) == 40, "a member is its key, its value and two counts");


}  // namespace TarnwickApple
