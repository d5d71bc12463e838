// The JSON value tree and its reader: nlohmann/json's SAX events into our own tree, with our own
// number classification and nesting limit.
#include "TarnwickApple/JSONValue.hpp"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

#include <nlohmann/json.hpp>

#include "TarnwickApple/Unicode.hpp"

namespace TarnwickApple {
namespace {

// What the exact decimal value of a JSON number literal is, as far as classification needs.
struct Exact {
  bool whole = false;
  std::optional<std::int64_t> signedValue;
  std::optional<std::uint64_t> unsignedValue;
};

// Exact classification of a number literal -?int(.frac)?([eE][+-]?exp)?, without going
// through a double: "9223372036854775807.0" is the integer 2^63-1, "1.5e1" is 15.
Exact classify(std::string_view raw) {
  Exact result;
  std::size_t i = 0;
  const bool negative = i < raw.size() && raw[i] == '-';
  if (negative) ++i;
  std::string digits;
  std::int64_t exponent = 0;
  for (; i < raw.size() && raw[i] >= '0' && raw[i] <= '9'; ++i) digits += raw[i];
  if (i < raw.size() && raw[i] == '.') {
    for (++i; i < raw.size() && raw[i] >= '0' && raw[i] <= '9'; ++i) {
      digits += raw[i];
      --exponent;
    }
  }
  if (i < raw.size() && (raw[i] == 'e' || raw[i] == 'E')) {
    ++i;
    bool negativeExponent = false;
    if (i < raw.size() && (raw[i] == '+' || raw[i] == '-')) negativeExponent = raw[i++] == '-';
    // Saturate: any exponent this large already decides the outcome.
    constexpr std::int64_t saturation = 1'000'000'000'000LL;
    std::int64_t written = 0;
    for (; i < raw.size() && raw[i] >= '0' && raw[i] <= '9'; ++i) {
      written = std::min(saturation, written * 10 + (raw[i] - '0'));
    }
    exponent += negativeExponent ? -written : written;
  }
  const std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) {  // zero, however written
    result.whole = true;
    result.signedValue = 0;
    result.unsignedValue = 0;
    return result;
  }
  std::size_t last = digits.find_last_not_of('0');
  exponent += static_cast<std::int64_t>(digits.size() - 1 - last);
  const std::string_view significant(digits.data() + first, last - first + 1);
  if (exponent < 0) return result;  // a fractional part remains
  result.whole = true;
  if (static_cast<std::int64_t>(significant.size()) + exponent > 20) return result;  // beyond 64 bits
  unsigned __int128 value = 0;
  for (char c : significant) value = value * 10 + static_cast<unsigned>(c - '0');
  for (std::int64_t k = 0; k < exponent; ++k) value *= 10;
  constexpr unsigned __int128 signedLimit = static_cast<unsigned __int128>(1) << 63;
  if (negative) {
    if (value <= signedLimit) result.signedValue = static_cast<std::int64_t>(-static_cast<__int128>(value));
  } else {
    if (value <= std::numeric_limits<std::uint64_t>::max()) result.unsignedValue = static_cast<std::uint64_t>(value);
    if (value < signedLimit) result.signedValue = static_cast<std::int64_t>(value);
  }
  return result;
}

// One of the reader's stable phrases for a parser message.
std::string failureReason(std::string_view message, bool sawValue) {
  if (message.find("UTF-8") != std::string_view::npos) return "invalid UTF-8";
  if (message.find("missing closing quote") != std::string_view::npos) return "unterminated string";
  if (message.find("unexpected end of input") != std::string_view::npos) {
    return sawValue ? "unexpected end of input" : "no JSON value";
  }
  if (message.find("expected end of input") != std::string_view::npos) return "two JSON values";
  return "unexpected character";
}

// The offset of the first array or object opened deeper than the nesting limit (strings skipped).
std::size_t nestingOffset(std::string_view text) {
  std::size_t depth = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') ++i;
      else if (c == '"') inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > JSONValue::maximumNesting) return i;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return text.size();
}

}  // namespace

// Builds the tree from SAX events with an explicit stack, so nesting costs no C++ stack.
class JSONReader {
 public:
  using json = nlohmann::json;

  bool null() { return add(JSONValue()); }
  bool boolean(bool value) { return add(JSONValue::boolean(value)); }
  bool number_integer(json::number_integer_t value) { return add(JSONValue::integer(value)); }
  bool number_unsigned(json::number_unsigned_t value) {
    if (value <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      return add(JSONValue::integer(static_cast<std::int64_t>(value)));
    }
    return add(JSONValue::unsignedNumber(static_cast<double>(value), value));
  }
  bool number_float(json::number_float_t value, const json::string_t& raw) {
    if (!std::isfinite(value)) {
      refusal = "a number out of range";
      return false;
    }
    const Exact exact = classify(raw);
    if (exact.signedValue) return add(JSONValue::integer(*exact.signedValue));
    if (exact.unsignedValue) return add(JSONValue::unsignedNumber(value, *exact.unsignedValue));
    return add(JSONValue::number(value));
  }
  bool string(json::string_t& value) { return add(JSONValue::string(std::move(value))); }
  bool binary(json::binary_t&) { return false; }
  bool start_object(std::size_t) { return open(true); }
  bool key(json::string_t& key) {
    stack_.back().key = std::move(key);
    return true;
  }
  bool end_object() { return close(); }
  bool start_array(std::size_t) { return open(false); }
  bool end_array() { return close(); }
  bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& error) {
    failure = JSONValue::DecodeError(position > 0 ? position - 1 : 0, failureReason(error.what(), sawValue_));
    return false;
  }

  std::optional<JSONValue> result;
  // Why the reader stopped, when the parser said so; a refused nesting or number leaves it unset.
  std::optional<JSONValue::DecodeError> failure;
  // What a callback refused, for a failure the parser does not report itself.
  const char* refusal = nullptr;

 private:
  struct Frame {
    bool isObject;
    JSONArray array;
    JSONObject object;
    std::string key;
  };

  bool open(bool isObject) {
    sawValue_ = true;
    if (stack_.size() >= JSONValue::maximumNesting) {
      refusal = "nesting deeper than 512";
      return false;
    }
    stack_.push_back(Frame{isObject, {}, {}, {}});
    return true;
  }
  bool close() {
    Frame frame = std::move(stack_.back());
    stack_.pop_back();
    return add(frame.isObject ? JSONValue::object(std::move(frame.object)) : JSONValue::array(std::move(frame.array)));
  }
  bool add(JSONValue value) {
    sawValue_ = true;
    if (stack_.empty()) {
      result = std::move(value);
    } else if (Frame& top = stack_.back(); top.isObject) {
      top.object.insert(std::move(top.key), std::move(value));
    } else {
      top.array.push_back(std::move(value));
    }
    return true;
  }

  std::vector<Frame> stack_;
  bool sawValue_ = false;  // any value begun, so an early end is no "no JSON value"
};

JSONValue::JSONValue() : storage_(std::monostate{}) {}
JSONValue::JSONValue(Storage storage) : storage_(std::move(storage)) {}

JSONValue JSONValue::boolean(bool value) { return JSONValue(Storage(value)); }
JSONValue JSONValue::integer(std::int64_t value) { return JSONValue(Storage(value)); }
JSONValue JSONValue::number(double value) { return JSONValue(Storage(Number{value, std::nullopt})); }
JSONValue JSONValue::unsignedNumber(double value, std::uint64_t exact) { return JSONValue(Storage(Number{value, exact})); }
JSONValue JSONValue::string(std::string value) {
  return JSONValue(Storage(std::make_shared<std::string>(std::move(value))));
}
JSONValue JSONValue::array(JSONArray elements) {
  return JSONValue(Storage(std::make_shared<const JSONArray>(std::move(elements))));
}
JSONValue JSONValue::object(JSONObject members) {
  return JSONValue(Storage(std::make_shared<const JSONObject>(std::move(members))));
}
JSONValue JSONValue::null() { return JSONValue(); }

namespace {

// Walks text held in pieces as one run of bytes and releases each piece once the walk has left
// it: the reader only ever moves forward, so nothing behind it is needed again.
class ReleasingIterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  ReleasingIterator(std::vector<std::string>& pieces, std::size_t piece) : pieces_(&pieces), piece_(piece) {
    skipEmpty();
  }
  reference operator*() const { return (*pieces_)[piece_][offset_]; }
  ReleasingIterator& operator++() {
    if (++offset_ == (*pieces_)[piece_].size()) {
      std::string().swap((*pieces_)[piece_]);
      ++piece_;
      offset_ = 0;
      skipEmpty();
    }
    return *this;
  }
  friend bool operator==(const ReleasingIterator& a, const ReleasingIterator& b) {
    return a.piece_ == b.piece_ && a.offset_ == b.offset_;
  }

 private:
  void skipEmpty() {
    while (piece_ < pieces_->size() && (*pieces_)[piece_].empty()) ++piece_;
  }
  std::vector<std::string>* pieces_;
  std::size_t piece_;
  std::size_t offset_ = 0;
};

// Stands for an offset the reader cannot tell (a refused nesting or number); `decode` finds it.
constexpr std::size_t unknownOffset = static_cast<std::size_t>(-1);

// One JSON value from the bytes between `first` and `last`.
template <typename Iterator>
JSONValue read(Iterator first, Iterator last) {
  JSONReader reader;
  bool ok = false;
  try {
    ok = nlohmann::json::sax_parse(std::move(first), std::move(last), &reader, nlohmann::json::input_format_t::json,
                                   true, false);
  } catch (const nlohmann::json::exception&) {
    ok = false;
  }
  if (ok && reader.result) return std::move(*reader.result);
  if (reader.failure) throw *reader.failure;
  throw JSONValue::DecodeError(unknownOffset, reader.refusal ? reader.refusal : "unexpected character");
}

// The underlying lexer takes a NUL byte for the end of the input; in JSON text a raw NUL is
// never valid (inside a string it is an unescaped control character), so it is refused outright.
void refuseNul(std::string_view text, std::size_t start) {
  if (const std::size_t at = text.find('\0'); at != std::string_view::npos) throw JSONValue::DecodeError(start + at, "a NUL byte");
}

}  // namespace

JSONValue JSONValue::decode(std::string_view text) {
  refuseNul(text, 0);
  try {
    return read(text.data(), text.data() + text.size());
  } catch (const DecodeError& error) {
    if (error.offset() != unknownOffset) throw;
    // Only a refused nesting is placed again (by a scan); a refused number is reported at 0.
    throw DecodeError(error.reason() == "nesting deeper than 512" ? nestingOffset(text) : 0, error.reason());
  }
}

JSONValue JSONValue::decodeReleasing(std::vector<std::string>&& pieces) {
  std::vector<std::string> held = std::move(pieces);
  std::size_t start = 0;
  for (const std::string& piece : held) {
    refuseNul(piece, start);
    start += piece.size();
  }
  try {
    return read(ReleasingIterator(held, 0), ReleasingIterator(held, held.size()));
  } catch (const DecodeError& error) {
    // The text is released by now, so an offset the reader cannot tell stays unknown: 0.
    if (error.offset() != unknownOffset) throw;
    throw DecodeError(0, error.reason());
  }
}

JSONValue::Case JSONValue::kind() const {
  switch (storage_.index()) {
    case 0: return Case::boolean;
    case 1: return Case::integer;
    case 2: return Case::number;
    case 3: return Case::string;
    case 4: return Case::array;
    case 5: return Case::object;
    default: return Case::null;
  }
}

std::optional<bool> JSONValue::boolValue() const {
  if (const bool* b = std::get_if<bool>(&storage_)) return *b;
  return std::nullopt;
}

const JSONValue* JSONValue::operator[](std::string_view key) const {
  const JSONObject* members = objectValue();
  return members ? members->find(key) : nullptr;
}

const std::string* JSONValue::stringValue() const {
  const auto* s = std::get_if<std::shared_ptr<std::string>>(&storage_);
  return s ? s->get() : nullptr;
}

std::optional<std::string> JSONValue::releaseString(JSONValue&& value) {
  auto* s = std::get_if<std::shared_ptr<std::string>>(&value.storage_);
  if (s == nullptr) return std::nullopt;
  std::shared_ptr<std::string> owner = std::move(*s);
  value = JSONValue();
  if (owner.use_count() == 1) return std::move(*owner);
  return *owner;
}

std::optional<std::int64_t> JSONValue::integerValue() const {
  if (const auto* i = std::get_if<std::int64_t>(&storage_)) return *i;
  if (const auto* n = std::get_if<Number>(&storage_)) {
    const double d = n->value;
    // Whole, and within [-2^63, 2^63): NaN fails the first test, the infinities the others.
    if (std::trunc(d) != d) return std::nullopt;
    if (!(d >= -9223372036854775808.0) || !(d < 9223372036854775808.0)) return std::nullopt;
    return static_cast<std::int64_t>(d);
  }
  return std::nullopt;
}

std::optional<double> JSONValue::doubleValue() const {
  if (const auto* i = std::get_if<std::int64_t>(&storage_)) return static_cast<double>(*i);
  if (const auto* n = std::get_if<Number>(&storage_)) return n->value;
  return std::nullopt;
}

std::optional<std::uint64_t> JSONValue::unsignedValue() const {
  if (const auto* i = std::get_if<std::int64_t>(&storage_)) {
    if (*i >= 0) return static_cast<std::uint64_t>(*i);
    return std::nullopt;
  }
  if (const auto* n = std::get_if<Number>(&storage_)) return n->exactUnsigned;
  return std::nullopt;
}

const JSONArray* JSONValue::arrayValue() const {
  const auto* a = std::get_if<std::shared_ptr<const JSONArray>>(&storage_);
  return a ? a->get() : nullptr;
}

const JSONObject* JSONValue::objectValue() const {
  const auto* o = std::get_if<std::shared_ptr<const JSONObject>>(&storage_);
  return o ? o->get() : nullptr;
}

bool operator==(const JSONValue& a, const JSONValue& b) {
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case JSONValue::Case::boolean: return *a.boolValue() == *b.boolValue();
    case JSONValue::Case::integer: return *a.integerValue() == *b.integerValue();
    case JSONValue::Case::number: return *a.doubleValue() == *b.doubleValue();
    case JSONValue::Case::string: return Unicode::canonicallyEqual(*a.stringValue(), *b.stringValue());
    case JSONValue::Case::array: return *a.arrayValue() == *b.arrayValue();
    case JSONValue::Case::object: return *a.objectValue() == *b.objectValue();
    case JSONValue::Case::null: return true;
  }
  return false;
}

void JSONObject::insert(std::string key, JSONValue value) {
  std::string canonical = Unicode::nfc(key);
  members_.insert_or_assign(std::move(canonical), Member{std::move(key), std::move(value)});
}

const JSONValue* JSONObject::find(std::string_view key) const {
  auto found = members_.find(key);
  const bool ascii = std::all_of(key.begin(), key.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (found == members_.end() && !ascii) {  // ASCII text is its own NFC form
    const std::string canonical = Unicode::nfc(key);
    if (canonical != key) found = members_.find(canonical);
  }
  return found == members_.end() ? nullptr : &found->second.value;
}

std::optional<JSONValue> JSONObject::extract(std::string_view key) {
  auto found = members_.find(key);
  if (found == members_.end()) found = members_.find(Unicode::nfc(key));
  if (found == members_.end()) return std::nullopt;
  JSONValue value = std::move(found->second.value);
  members_.erase(found);
  return value;
}

bool operator==(const JSONObject& a, const JSONObject& b) {
  if (a.members_.size() != b.members_.size()) return false;
  for (auto i = a.members_.begin(), j = b.members_.begin(); i != a.members_.end(); ++i, ++j) {
    if (i->first != j->first || !(i->second.value == j->second.value)) return false;
  }
  return true;
}

}  // namespace TarnwickApple
