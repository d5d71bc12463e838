// The JSON value tree: construction, accessors, equality and the object's member map.
#include "TarnwickApple/JSON/JSONValue.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "TarnwickApple/Text/Unicode.hpp"

namespace TarnwickApple {

JSONValue::DecodeError::DecodeError(std::size_t offset, std::string reason, std::optional<OutOfRange> outOfRange)
    : std::runtime_error(reason), offset_(offset), reason_(std::move(reason)), outOfRange_(std::move(outOfRange)) {}

JSONValue::JSONValue() : storage_(std::monostate{}) {}

JSONValue JSONValue::boolean(bool value) { return JSONValue(std::in_place_type<bool>, value); }
JSONValue JSONValue::integer(std::int64_t value) { return JSONValue(std::in_place_type<std::int64_t>, value); }
JSONValue JSONValue::number(double value) { return JSONValue(std::in_place_type<Number>, Number{value, false, std::nullopt}); }
JSONValue JSONValue::numberFromText(double value, std::optional<std::uint64_t> exactUnsigned) {
  return JSONValue(std::in_place_type<Number>, Number{value, true, exactUnsigned});
}
JSONValue JSONValue::string(std::string value) {
  if (value.size() <= longestInPlaceString) return JSONValue(std::in_place_type<ShortString>, ShortString{std::move(value)});
  return JSONValue(std::in_place_type<std::shared_ptr<std::string>>, std::make_shared<std::string>(std::move(value)));
}
JSONValue JSONValue::array(JSONArray elements) {
  return JSONValue(std::in_place_type<std::shared_ptr<const JSONArray>>, std::make_shared<const JSONArray>(std::move(elements)));
}
JSONValue JSONValue::object(JSONObject members) {
  return JSONValue(std::in_place_type<std::shared_ptr<const JSONObject>>, std::make_shared<const JSONObject>(std::move(members)));
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

namespace {

// Eight bytes at a time: keys and keywords are short, and a lookup that misses asks this of its key.
bool isASCII(std::string_view text) {
  std::uint64_t high = 0;
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    high |= word;
  }
  for (; i < text.size(); ++i) high |= static_cast<unsigned char>(text[i]);
  return (high & 0x8080808080808080u) == 0;
}

// Up to this many members a lookup scans them all: comparing lengths first, that beats a
// binary search's string comparisons for the few keywords a schema node holds.
constexpr std::size_t scannedMembers = 8;

}  // namespace

JSONObject::Slot::Slot(std::string&& key, JSONValue&& value, std::uint32_t position)
    : member{std::move(key), std::move(value), position} {
  if (!isASCII(member.key)) {  // ASCII text is its own NFC form
    std::string form = Unicode::nfc(member.key);
    if (form != member.key) nfc = std::make_shared<const std::string>(std::move(form));
  }
}

JSONObject JSONObject::fromWritten(std::vector<Slot>&& written, std::vector<std::uint32_t>& order) {
  // The order is found on indices, then the slots are put in it where they are: each moves about
  // once, and no second vector is held beside the first.
  const std::size_t count = written.size();
  order.resize(count);
  for (std::size_t i = 0; i < count; ++i) order[i] = static_cast<std::uint32_t>(i);
  const auto before = [&](std::uint32_t a, std::uint32_t b) { return written[a].canonical() < written[b].canonical(); };
  if (count <= 2 * scannedMembers) {
    for (std::size_t i = 1; i < count; ++i) {  // insertion sort: stable, and no buffer
      const std::uint32_t moving = order[i];
      std::size_t j = i;
      for (; j > 0 && before(moving, order[j - 1]); --j) order[j] = order[j - 1];
      order[j] = moving;
    }
  } else {
    std::stable_sort(order.begin(), order.end(), before);
  }
  // Slot i takes what was at order[i], one cycle of the permutation at a time; a placed index
  // is marked by pointing at itself.
  for (std::size_t i = 0; i < count; ++i) {
    if (order[i] == i) continue;
    Slot held = std::move(written[i]);
    std::size_t j = i;
    while (order[j] != i) {
      const std::size_t from = order[j];
      written[j] = std::move(written[from]);
      order[j] = static_cast<std::uint32_t>(j);
      j = from;
    }
    written[j] = std::move(held);
    order[j] = static_cast<std::uint32_t>(j);
  }
  JSONObject object;
  object.written_ = static_cast<std::uint32_t>(count);
  // Keys written more than once: the last spelling and value under the first one's position.
  std::size_t kept = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (kept > 0 && written[kept - 1].canonical() == written[i].canonical()) {
      const std::uint32_t first = written[kept - 1].member.position;
      written[kept - 1] = std::move(written[i]);
      written[kept - 1].member.position = first;
      continue;
    }
    if (kept != i) written[kept] = std::move(written[i]);
    ++kept;
  }
  if (kept < count) {
    written.erase(written.begin() + static_cast<std::ptrdiff_t>(kept), written.end());
    // Positions count distinct keys written before: renumber the survivors' first occurrences.
    std::vector<std::pair<std::uint32_t, std::size_t>> firsts;
    firsts.reserve(kept);
    for (std::size_t i = 0; i < kept; ++i) firsts.emplace_back(written[i].member.position, i);
    std::sort(firsts.begin(), firsts.end());
    for (std::size_t rank = 0; rank < kept; ++rank) written[firsts[rank].second].member.position = static_cast<std::uint32_t>(rank);
    object.written_ = static_cast<std::uint32_t>(kept);
  }
  object.slots_ = std::move(written);
  return object;
}

std::size_t JSONObject::indexOf(std::string_view canonical) const {
  const std::size_t count = slots_.size();
  if (count <= scannedMembers) {
    for (std::size_t i = 0; i < count; ++i) {
      const std::string_view form = slots_[i].canonical();
      if (form.size() == canonical.size() && form == canonical) return i;
    }
    return count;
  }
  const auto at = std::lower_bound(slots_.begin(), slots_.end(), canonical,
                                   [](const Slot& slot, std::string_view key) { return slot.canonical() < key; });
  if (at == slots_.end() || at->canonical() != canonical) return count;
  return static_cast<std::size_t>(at - slots_.begin());
}

void JSONObject::insert(std::string key, JSONValue value) {
  Slot added(std::move(key), std::move(value), written_);
  const auto at = std::lower_bound(slots_.begin(), slots_.end(), added.canonical(),
                                   [](const Slot& slot, std::string_view form) { return slot.canonical() < form; });
  if (at != slots_.end() && at->canonical() == added.canonical()) {
    added.member.position = at->member.position;
    *at = std::move(added);
    return;
  }
  ++written_;
  slots_.insert(at, std::move(added));
}

const JSONValue* JSONObject::find(std::string_view key) const {
  std::size_t found = indexOf(key);
  if (found == slots_.size() && !isASCII(key)) {
    const std::string canonical = Unicode::nfc(key);
    if (canonical != key) found = indexOf(canonical);
  }
  return found == slots_.size() ? nullptr : &slots_[found].member.value;
}

std::optional<JSONValue> JSONObject::extract(std::string_view key) {
  std::size_t found = indexOf(key);
  if (found == slots_.size()) found = indexOf(Unicode::nfc(key));
  if (found == slots_.size()) return std::nullopt;
  JSONValue value = std::move(slots_[found].member.value);
  slots_.erase(slots_.begin() + static_cast<std::ptrdiff_t>(found));
  return value;
}

bool operator==(const JSONObject& a, const JSONObject& b) {
  if (a.slots_.size() != b.slots_.size()) return false;
  for (std::size_t i = 0; i < a.slots_.size(); ++i) {
    if (a.slots_[i].canonical() != b.slots_[i].canonical() || !(a.slots_[i].member.value == b.slots_[i].member.value)) return false;
  }
  return true;
}

}  // namespace TarnwickApple
