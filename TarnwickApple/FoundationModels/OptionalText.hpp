// An optional text one pointer wide: a property's description, absent for most properties, so a
// schema of many properties does not pay an empty string for each.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace TarnwickApple::FoundationModels {

class OptionalText {
 public:
  OptionalText() = default;
  OptionalText(std::nullopt_t) {}
  OptionalText(const char* text) : text_(std::make_unique<const std::string>(text)) {}
  OptionalText(std::string text) : text_(std::make_unique<const std::string>(std::move(text))) {}
  OptionalText(std::optional<std::string> text)
      : text_(text ? std::make_unique<const std::string>(std::move(*text)) : nullptr) {}
  OptionalText(const OptionalText& other)
      : text_(other.text_ ? std::make_unique<const std::string>(*other.text_) : nullptr) {}
  OptionalText(OptionalText&&) noexcept = default;
  OptionalText& operator=(OptionalText other) noexcept {
    text_ = std::move(other.text_);
    return *this;
  }

  bool has_value() const { return text_ != nullptr; }
  explicit operator bool() const { return has_value(); }
  const std::string& operator*() const { return *text_; }
  const std::string* operator->() const { return text_.get(); }

  friend bool operator==(const OptionalText& a, const OptionalText& b) {
    return a.has_value() == b.has_value() && (!a.has_value() || *a == *b);
  }

 private:
  std::unique_ptr<const std::string> text_;
};

}  // namespace TarnwickApple::FoundationModels
