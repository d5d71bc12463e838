// An immutable JSON value tree, read from JSON text with our own number classification and
// nesting limit (the reader is JSONReader.cpp).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <exception>
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
  // A string short enough for std::string's own buffer is held in place instead (ShortString):
  // no allocation and no count, which is most of what a list of a million names costs.
  struct ShortString {
    std::string text;
  };
  using Storage = std::variant<bool, std::int64_t, Number, std::shared_ptr<std::string>,
                               std::shared_ptr<const JSONArray>, std::shared_ptr<const JSONObject>,
                               std::monostate, ShortString>;
  explicit JSONValue(Storage storage);
  // A number read from a literal whose exact value is not a whole signed 64-bit integer.
  static JSONValue numberFromText(double value, std::optional<std::uint64_t> exactUnsigned);
  friend class JSONReader;

  Storage storage_;
};

// A JSON object's members: unique keys up to canonical equivalence. Members are visited in
// ascending order of their keys' NFC forms; each remembers where it was first written.
class JSONObject {
 public:
  struct Member {
    std::string key;  // as written in the document (the last spelling seen)
    JSONValue value;
    // How many other keys were written before this one's first occurrence (insertion order for
    // objects built in code); only explanations for people read it.
    std::uint32_t position = 0;
  };

  // Adds a member; a key canonically equal to an existing one replaces its spelling and value
  // (the last one wins) and keeps its place in the written order.
  void insert(std::string key, JSONValue value);

  const JSONValue* find(std::string_view key) const;
  // Removes and returns the member under `key` (for taking a document apart after reading).
  std::optional<JSONValue> extract(std::string_view key);
  std::size_t size() const { return members_.size(); }
  bool empty() const { return members_.empty(); }

  using Map = std::map<std::string, Member, std::less<>>;  // keyed by the NFC form of the key
  Map::const_iterator begin() const { return members_.begin(); }
  Map::const_iterator end() const { return members_.end(); }

  friend bool operator==(const JSONObject& a, const JSONObject& b);

 private:
  Map members_;
  std::uint32_t written_ = 0;  // the next member's position
};

}  // namespace TarnwickApple
