// An optional text one pointer wide: a property's description, absent for most properties, so a
// schema of many properties does not pay an empty string for each. A present text is one block
// holding its length and its bytes: one allocation, where a string behind a pointer takes two.
#pragma once

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace TarnwickApple::FoundationModels {

class OptionalText {
 public:
  OptionalText() = default;
  OptionalText(std::nullopt_t) {}
  OptionalText(std::string_view text) : text_(copy(text)) {}
  OptionalText(const char* text) : OptionalText(std::string_view(text)) {}
  OptionalText(const std::string& text) : OptionalText(std::string_view(text)) {}
  OptionalText(const std::optional<std::string>& text) : text_(text ? copy(*text) : nullptr) {}
  OptionalText(std::optional<std::string_view> text) : text_(text ? copy(*text) : nullptr) {}
  OptionalText(const OptionalText& other) : text_(other.text_ ? copy(*other) : nullptr) {}
  OptionalText(OptionalText&&) noexcept = default;
  OptionalText& operator=(OptionalText other) noexcept {
    text_ = std::move(other.text_);
    return *this;
  }

  bool has_value() const { return text_ != nullptr; }
  explicit operator bool() const { return has_value(); }
  std::string_view operator*() const {
    std::size_t length;
    std::memcpy(&length, text_.get(), sizeof length);
    return {text_.get() + sizeof length, length};
  }

  friend bool operator==(const OptionalText& a, const OptionalText& b) {
    return a.has_value() == b.has_value() && (!a.has_value() || *a == *b);
  }

 private:
  static std::unique_ptr<char[]> copy(std::string_view text) {
    const std::size_t length = text.size();
    auto block = std::make_unique_for_overwrite<char[]>(sizeof length + length);
    std::memcpy(block.get(), &length, sizeof length);
    if (length != 0) std::memcpy(block.get() + sizeof length, text.data(), length);
    return block;
  }

  std::unique_ptr<char[]> text_;  // the length, then the bytes
};

}  // namespace TarnwickApple::FoundationModels
