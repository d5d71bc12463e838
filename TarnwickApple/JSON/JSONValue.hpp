// An immutable JSON value tree, read from JSON text with our own number classification and
// nesting limit (the reader is JSONReader.cpp).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <exception>
#include <iterator>
#include <stdexcept>
#include <utility>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace TarnwickApple {

class JSONValue;
class JSONObject;

using JSONArray = std::vector<JSONValue>;

class JSONValue {
 public:
  enum class Case { boolean, integer, number, string, array, object, null };

  // Deepest nesting of arrays and objects the reader accepts; deeper documents are unreadable.
  static constexpr std::size_t maximumNesting = 512;
  // Longest string a value holds itself; a longer one is shared between copies, so that copying
  // a tree never copies a large text (a prompt), while names and descriptions cost one allocation.
  static constexpr std::size_t longestInPlaceString = 1024;

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

  JSONValue();  // null
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
  bool isNull() const { return kind() == Case::null; }
  bool isBool() const { return kind() == Case::boolean; }
  std::optional<bool> boolValue() const;

  // Key lookup: the member under `key` (canonically equivalent keys are the same key) for an
  // object, nothing for a missing key and for every other case.
  const JSONValue* operator[](std::string_view key) const;

  const std::string* stringValue() const;
  std::optional<std::int64_t> integerValue() const;
  std::optional<double> doubleValue() const;
  const JSONArray* arrayValue() const;
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
  struct Number {
    double value;
    bool fromText;                               // read from a literal, not built from a double
    std::optional<std::uint64_t> exactUnsigned;  // set by the reader for whole numbers above 2^63-1
  };
  // The string is held non-const only so that releaseString can move it out of a sole owner.
  // A string of at most longestInPlaceString bytes is held in place instead (ShortString): one
  // allocation at most and no count, which is most of what a schema's names and texts cost.
  struct ShortString {
    std::string text;
  };
  using Storage = std::variant<bool, std::int64_t, Number, std::shared_ptr<std::string>,
                               std::shared_ptr<const JSONArray>, std::shared_ptr<const JSONObject>,
                               std::monostate, ShortString>;
  // Builds the payload in place: a value is moved once less on its way into a tree.
  template <class T, class... Args>
  explicit JSONValue(std::in_place_type_t<T> kind, Args&&... args) : storage_(kind, std::forward<Args>(args)...) {}
  // A number read from a literal whose exact value is not a whole signed 64-bit integer.
  static JSONValue numberFromText(double value, std::optional<std::uint64_t> exactUnsigned);
  friend class JSONReader;

  Storage storage_;
};

// A JSON object's members: unique keys up to canonical equivalence. Members are visited in
// ascending order of their keys' NFC forms; each remembers where it was first written. They are
// held in one vector in that order, so a small object is one allocation and a lookup one scan.
class JSONObject {
 public:
  struct Member {
    std::string key;  // as written in the document (the last spelling seen)
    JSONValue value;
    // How many other keys were written before this one's first occurrence (insertion order for
    // objects built in code); only explanations for people read it.
    std::uint32_t position = 0;
  };

 private:
  struct Slot {
    // Built where it is kept (the reader's list of written members): key and value move once.
    Slot(std::string&& key, JSONValue&& value, std::uint32_t position);
    Member member;
    // The key's NFC form where it differs from the spelling (rare), nothing otherwise.
    std::shared_ptr<const std::string> nfc;
    std::string_view canonical() const { return nfc ? std::string_view(*nfc) : std::string_view(member.key); }
  };
  using Slots = std::vector<Slot>;

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
    Entry operator*() const { return Entry(at_->canonical(), at_->member); }
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
    explicit Iterator(Slots::const_iterator at) : at_(at) {}
    Slots::const_iterator at_;
  };

  // Adds a member; a key canonically equal to an existing one replaces its spelling and value
  // (the last one wins) and keeps its place in the written order.
  void insert(std::string key, JSONValue value);

  const JSONValue* find(std::string_view key) const;
  // Removes and returns the member under `key` (for taking a document apart after reading).
  std::optional<JSONValue> extract(std::string_view key);
  std::size_t size() const { return slots_.size(); }
  bool empty() const { return slots_.empty(); }

  Iterator begin() const { return Iterator(slots_.begin()); }
  Iterator end() const { return Iterator(slots_.end()); }

  friend bool operator==(const JSONObject& a, const JSONObject& b);

 private:
  friend class JSONReader;
  // The members as written (each slot's position its index), put in order with repeated keys
  // folded: the reader collects an object's members this way and sorts them once, in place.
  // `order` is room for the sort.
  static JSONObject fromWritten(std::vector<Slot>&& written, std::vector<std::uint32_t>& order);
  // The index of the slot whose NFC form is `canonical`, or size().
  std::size_t indexOf(std::string_view canonical) const;

  Slots slots_;
  std::uint32_t written_ = 0;  // the next member's position
};

}  // namespace TarnwickApple
