// The reader this project had before simdjson, kept only as the reader benchmark's baseline:
// nlohmann/json's SAX events into the same JSONValue tree, NUL refused first, 512 levels.
#pragma once

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "TarnwickApple/JSON/JSONValue.hpp"
#include "TarnwickApple/JSON/internal/NumberLiteral.hpp"

namespace Baseline {

using TarnwickApple::JSONArray;
using TarnwickApple::JSONObject;
using TarnwickApple::JSONValue;

class NlohmannReader {
 public:
  using json = nlohmann::json;

  bool null() { return add(JSONValue()); }
  bool boolean(bool value) { return add(JSONValue::boolean(value)); }
  bool number_integer(json::number_integer_t value) { return add(JSONValue::integer(value)); }
  bool number_unsigned(json::number_unsigned_t value) {
    if (value <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      return add(JSONValue::integer(static_cast<std::int64_t>(value)));
    }
    return add(JSONValue::number(static_cast<double>(value)));
  }
  bool number_float(json::number_float_t value, const json::string_t& raw) {
    if (!std::isfinite(value)) return false;
    // The old reader classified the literal exactly as well; the same work is done here.
    const auto exact = TarnwickApple::internal::readNumberLiteral(raw);
    if (exact.signedValue) return add(JSONValue::integer(*exact.signedValue));
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
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

  std::optional<JSONValue> result;

 private:
  struct Frame {
    bool isObject;
    JSONArray array;
    JSONObject object;
    std::string key;
  };

  bool open(bool isObject) {
    if (stack_.size() >= JSONValue::maximumNesting) return false;
    stack_.push_back(Frame{isObject, {}, {}, {}});
    return true;
  }
  bool close() {
    Frame frame = std::move(stack_.back());
    stack_.pop_back();
    return add(frame.isObject ? JSONValue::object(std::move(frame.object)) : JSONValue::array(std::move(frame.array)));
  }
  bool add(JSONValue value) {
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
};

inline JSONValue decode(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) throw std::runtime_error("NUL");
  NlohmannReader reader;
  bool ok = false;
  try {
    ok = nlohmann::json::sax_parse(text.data(), text.data() + text.size(), &reader, nlohmann::json::input_format_t::json,
                                   true, false);
  } catch (const nlohmann::json::exception&) {
    ok = false;
  }
  if (!ok || !reader.result) throw std::runtime_error("not JSON");
  return std::move(*reader.result);
}

}  // namespace Baseline
