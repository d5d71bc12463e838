// The structured answer's text and its limits: which limit an answer reaches first decides
// whether it overflows the context window or is cut off by the response-token limit.
#include "TarnwickApple/Engines/Reference/internal/AnswerBuffer.hpp"

#include <algorithm>

#include "TarnwickApple/FoundationModels/LanguageModelSession.hpp"
#include "TarnwickApple/Engines/Reference/internal/Tokenizer.hpp"

namespace TarnwickApple::Engines {
using namespace FoundationModels;
namespace {

using GenerationError = LanguageModelSession::GenerationError;

// Counting a prefix, or two pieces apart, can overstate the whole by a token each; a running
// check only fails past this slack, and the exact count at the end settles the rest.
constexpr std::size_t runningCountSlack = 2;

// The first running check, for answers without any token limit.
constexpr std::size_t firstCheckWithoutLimit = std::size_t{1} << 16;

[[noreturn]] void overflowWindow() {
  throw GenerationError(GenerationError::Case::exceededContextWindowSize,
                        {"the structured answer does not fit in the context window"});
}

}  // namespace

AnswerBuffer::AnswerBuffer(AnswerLimits limits) : limits_(limits) {
  if (limits_.contextTokens) tokenLimit_ = *limits_.contextTokens;
  if (limits_.responseTokens) {
    const std::size_t response = *limits_.responseTokens <= 0 ? 0 : static_cast<std::size_t>(*limits_.responseTokens);
    tokenLimit_ = tokenLimit_ ? std::min(*tokenLimit_, response) : response;
  }
  roomyBytes_ = tokenLimit_ ? std::min(*tokenLimit_, maximumAnswerBytes) : maximumAnswerBytes;
  // Below limit + 1 bytes no answer can hold more tokens than the limit.
  nextCheck_ = tokenLimit_ ? std::min(*tokenLimit_ + 1, maximumAnswerBytes) : firstCheckWithoutLimit;
  nextCheck_ = std::max<std::size_t>(nextCheck_, 1);
}

void AnswerBuffer::refuseOver(std::size_t tokens) const {
  if (!tokenLimit_ || tokens <= *tokenLimit_) return;
  // The device stops at whichever limit comes first: a full window overflows it, a reached
  // response limit cuts the answer off, and a cut answer cannot satisfy the schema.
  const bool windowFirst =
      limits_.contextTokens &&
      (!limits_.responseTokens ||
       *limits_.contextTokens <= static_cast<std::uint64_t>(std::max<std::int64_t>(*limits_.responseTokens, 0)));
  if (windowFirst) overflowWindow();
  throw GenerationError(GenerationError::Case::decodingFailure,
                        {"the structured answer needs more tokens than the response-token limit"});
}

void AnswerBuffer::checkpoint(std::string_view pending) {
  const std::size_t bytes = text_.size() + pending.size();
  if (bytes > maximumAnswerBytes) overflowWindow();
  if (tokenLimit_) {
    const std::size_t tokens = Tokenizer::count(text_) + Tokenizer::count(pending);
    if (tokens > *tokenLimit_ + runningCountSlack) refuseOver(tokens - runningCountSlack);
  }
  // Doubling keeps the running counts linear in the answer's length.
  nextCheck_ = std::min(std::max(bytes * 2, nextCheck_ + 1), maximumAnswerBytes + 1);
}

std::string AnswerBuffer::finish() && {
  if (text_.size() > maximumAnswerBytes) overflowWindow();
  if (tokenLimit_) refuseOver(Tokenizer::count(text_));
  return std::move(text_);
}

}  // namespace TarnwickApple::Engines
