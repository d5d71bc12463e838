// The closed set of failures the sidecar reports: twelve kinds, 21 named values, and `resolve`,
// which turns any failure into one of them.
#pragma once

#include <cstddef>
#include <exception>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace TarnwickApple {

enum class ErrorKind {
  exceededContextWindowSize,
  assetsUnavailable,
  guardrailViolation,
  unsupportedGuide,
  unsupportedLanguageOrLocale,
  decodingFailure,
  rateLimited,
  concurrentRequests,
  refusal,
  invalidGenerationSchema,
  generation,
  foundationModels,  // the last kind: errorKindCount follows it
};

// How many kinds there are; ErrorKind's values are 0 to errorKindCount - 1, in the order above.
inline constexpr std::size_t errorKindCount = static_cast<std::size_t>(ErrorKind::foundationModels) + 1;

// The wire string of a kind, such as "RefusalError".
std::string_view rawText(ErrorKind kind);

// The kind whose wire string is exactly `text` (case-sensitive), or nothing.
std::optional<ErrorKind> errorKind(std::string_view text);

// The named values, in the order the table of rows gives them: declared and listed from here,
// so `all()` cannot miss one.
#define TARNWICK_NAMED_ERRORS(X) \
  X(malformedRequest) \
  X(conflictingSampling) \
  X(schemaNotObject) \
  X(unsupportedConstruct) \
  X(unsupportedReference) \
  X(invertedBounds) \
  X(invalidSchema) \
  X(deviceNotEligible) \
  X(appleIntelligenceNotEnabled) \
  X(modelNotReady) \
  X(assetsUnavailable) \
  X(exceededContextWindowSize) \
  X(guardrailViolation) \
  X(unsupportedGuide) \
  X(unsupportedLanguageOrLocale) \
  X(decodingFailure) \
  X(rateLimited) \
  X(concurrentRequests) \
  X(refusal) \
  X(generation) \
  X(unknown)

class SidecarError : public std::exception {
 public:
  ErrorKind kind() const { return kind_; }
  std::string_view message() const { return message_; }
  const char* what() const noexcept override { return message_; }

  // Any failure as one of ours: ours unchanged, the framework's mapped by type and case,
  // anything else (out-of-memory included) to `unknown`. Never throws.
  static SidecarError resolve(std::exception_ptr failure) noexcept;

  friend bool operator==(const SidecarError& a, const SidecarError& b) {
    return a.kind_ == b.kind_ && std::string_view(a.message_) == std::string_view(b.message_);
  }

#define TARNWICK_DECLARE_NAMED_ERROR(name) static const SidecarError name;
  TARNWICK_NAMED_ERRORS(TARNWICK_DECLARE_NAMED_ERROR)
#undef TARNWICK_DECLARE_NAMED_ERROR

  // Every named value, in the order above (for tests and fuzz targets that check a reply
  // names one of them).
  static std::span<const SidecarError* const> all();

 private:
  // Messages are static text, so copying an error never allocates (it must work out of memory).
  SidecarError(ErrorKind kind, const char* message) : kind_(kind), message_(message) {}
  ErrorKind kind_;
  const char* message_;
};

}  // namespace TarnwickApple
