// The text of a structured answer as it grows, held to the token limits of the request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace TarnwickApple::Engines {

// The tokens an answer may take.
struct AnswerLimits {
  std::optional<std::size_t> contextTokens;   // what the context window leaves; none: no window
  std::optional<std::int64_t> responseTokens;  // `maximumResponseTokens`
};

class AnswerBuffer {
 public:
  // No answer grows past this many bytes, window or not: it bounds memory for patterns and
  // arrays whose counts are huge but whose tokens are few (long runs of white space).
  static constexpr std::size_t maximumAnswerBytes = std::size_t{16} << 20;

  explicit AnswerBuffer(AnswerLimits limits);

  void append(std::string_view text) {
    text_.append(text);
    if (text_.size() >= nextCheck_) checkpoint({});
  }
  void append(char c) {
    text_.push_back(c);
    if (text_.size() >= nextCheck_) checkpoint({});
  }
  std::size_t size() const { return text_.size(); }

  // For text built elsewhere before it is appended (a string value): throws once the answer
  // with `pending` after it is sure not to fit.
  void watch(std::string_view pending) {
    if (text_.size() + pending.size() >= nextCheck_) checkpoint(pending);
  }

  // Bytes the answer may reach and still fit every limit, whatever its tokens (a token holds
  // at least one byte).
  std::size_t roomyBytes() const { return roomyBytes_; }

  // The finished answer after the exact token count; throws GenerationError when it does not fit.
  std::string finish() &&;

  // Throws the failure of an answer of `tokens` tokens when that is over the limits.
  void refuseOver(std::size_t tokens) const;

 private:
  void checkpoint(std::string_view pending);

  AnswerLimits limits_;
  std::optional<std::size_t> tokenLimit_;  // the smaller of the two limits, when there is one
  std::size_t roomyBytes_;
  std::size_t nextCheck_;
  std::string text_;
};

}  // namespace TarnwickApple::Engines
