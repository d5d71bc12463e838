// The JSON value tree: construction, accessors, equality and the object's member map.
#include "TarnwickApple/JSON/JSONValue.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "TarnwickApple/Text/Unicode.hpp"

namespace TarnwickApple {

JSONValue::DecodeError::DecodeError(std::size_t offset, std::string reason, std::optional<OutOfRange> outOfRange)
    : std::runtime_error(reason), offset_(offset), reason_(std::move(reason)), outOfRange_(std::move(outOfRange)) {}

JSONValue::JSONValue() : storage_(std::monostate{}) {}
JSONValue::JSONValue(Storage storage) : storage_(std::move(storage)) {}

JSONValue JSONValue::boolean(bool value) { return JSONValue(Storage(value)); }
JSONValue JSONValue::integer(std::int64_t value) { return JSONValue(Storage(value)); }
JSONValue JSONValue::number(double value) { return JSONValue(Storage(Number{value, false, std::nullopt})); }
JSONValue JSONValue::numberFromText(double value, std::optional<std::uint64_t> exactUnsigned) {
  return JSONValue(Storage(Number{value, true, exactUnsigned}));
}
JSONValue JSONValue::string(std::string value) {
  // What fits the empty string's own buffer needs no allocation of its own.
  if (value.size() <= std::string().capacity()) return JSONValue(Storage(ShortString{std::move(value)}));
  return JSONValue(Storage(std::make_shared<std::string>(std::move(value))));
}
JSONValue JSONValue::array(JSONArray elements) {
  return JSONValue(Storage(std::make_shared<const JSONArray>(std::move(elements))));
}
JSONValue JSONValue::object(JSONObject members) {
  return JSONValue(Storage(std::make_shared<const JSONObject>(std::move(members))));
}
JSONValue JSONValue::null() { return JSONValue(); }

JSONValue::Case JSONValue::kind() const {
  switch (storage_.index()) {
    case 0: return Case::boolean;
    case 1: return Case::integer;
    case 2: return Case::number;
    case 3: return Case::string;
    case 4: return Case::array;
    case 5: return Case::object;
    case 7: return Case::string;
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
  if (const auto* inPlace = std::get_if<ShortString>(&storage_)) return &inPlace->text;
  const auto* s = std::get_if<std::shared_ptr<std::string>>(&storage_);
  return s ? s->get() : nullptr;
}

std::optional<std::string> JSONValue::releaseString(JSONValue&& value) {
  if (auto* inPlace = std::get_if<ShortString>(&value.storage_)) {
    std::string text = std::move(inPlace->text);
    value = JSONValue();
    return text;
  }
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

std::optional<std::int64_t> JSONValue::exactIntegerValue() const {
  if (const auto* n = std::get_if<Number>(&storage_)) {
    // The reader makes every literal whose exact value is a whole signed 64-bit integer an integer.
    if (n->fromText) return std::nullopt;
  }
  return integerValue();
}

std::optional<std::uint64_t> JSONValue::unsignedValue() const {
  if (const auto* i = std::get_if<std::int64_t>(&storage_)) {
    if (*i >= 0) return static_cast<std::uint64_t>(*i);
    return std::nullopt;
  }
  if (const auto* n = std::get_if<Number>(&storage_)) {
    if (n->fromText) return n->exactUnsigned;
    const double d = n->value;
    if (std::trunc(d) != d || !(d >= 0.0) || !(d < 18446744073709551616.0)) return std::nullopt;
    return static_cast<std::uint64_t>(d);
  }
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
  const auto [at, added] = members_.try_emplace(Unicode::nfc(key));
  at->second.key = std::move(key);
  at->second.value = std::move(value);
  if (added) at->second.position = written_++;
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
