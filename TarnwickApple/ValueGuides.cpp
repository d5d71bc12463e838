// The generation guides of scalar schemas: a string's constant and pattern, a number's bounds.
#include <limits>

#include "TarnwickApple/RegexPattern.hpp"
#include "TarnwickApple/SchemaTranslator.hpp"
#include "TarnwickApple/SidecarError.hpp"
#include "TarnwickApple/Unicode.hpp"

namespace TarnwickApple::SchemaTranslator {
namespace {

using FoundationModels::GenerationGuide;

std::int64_t integerBound(const JSONValue& value) {
  const auto reading = value.integerValue();
  if (!reading) throw SidecarError::unsupportedConstruct;
  return *reading;
}

double numberBound(const JSONValue& value) {
  const auto reading = value.doubleValue();
  if (!reading) throw SidecarError::unsupportedConstruct;
  return *reading;
}

// The inclusive bound under `inclusiveKey`, else the exclusive one under `exclusiveKey` made
// inclusive by `adjusted`, else none. The exclusive key is not read when the inclusive one is
// present.
template <typename T, typename Read, typename Adjust>
std::optional<T> bound(const JSONObject& node, std::string_view inclusiveKey, std::string_view exclusiveKey,
                       Read read, Adjust adjusted) {
  if (const JSONValue* inclusive = node.find(inclusiveKey)) return read(*inclusive);
  if (const JSONValue* exclusive = node.find(exclusiveKey)) return adjusted(read(*exclusive));
  return std::nullopt;
}

// One guide from the settled bounds: range, minimum, maximum or none.
template <typename T>
std::vector<GenerationGuide> boundGuides(const std::optional<T>& lower, const std::optional<T>& upper) {
  if (lower && upper) {
    if (!(*lower <= *upper)) throw SidecarError::invertedBounds;
    return {GenerationGuide::range(*lower, *upper)};
  }
  if (lower) return {GenerationGuide::minimum(*lower)};
  if (upper) return {GenerationGuide::maximum(*upper)};
  return {};
}

}  // namespace

std::vector<GenerationGuide> stringGuides(const JSONObject& node) {
  std::vector<GenerationGuide> guides;
  if (const JSONValue* constant = node.find("const")) {
    if (const std::string* text = constant->stringValue()) guides.push_back(GenerationGuide::constant(*text));
  }
  if (const JSONValue* pattern = node.find("pattern")) {
    // A pattern outside the dialect, or one ICU refuses once rewritten, just gets no guide.
    if (const std::string* text = pattern->stringValue()) {
      if (const auto rewritten = RegexPattern::desugared(*text)) {
        if (auto expression = Unicode::Regex::compile(*rewritten)) {
          guides.push_back(GenerationGuide::pattern(std::move(*expression)));
        }
      }
    }
  }
  return guides;
}

std::vector<GenerationGuide> integerGuides(const JSONObject& node) {
  // x > m is x >= m + 1 and x < m is x <= m - 1, unless that leaves the 64-bit range.
  const auto lower = bound<std::int64_t>(node, "minimum", "exclusiveMinimum", integerBound, [](std::int64_t m) {
    if (m == std::numeric_limits<std::int64_t>::max()) throw SidecarError::unsupportedConstruct;
    return m + 1;
  });
  const auto upper = bound<std::int64_t>(node, "maximum", "exclusiveMaximum", integerBound, [](std::int64_t m) {
    if (m == std::numeric_limits<std::int64_t>::min()) throw SidecarError::unsupportedConstruct;
    return m - 1;
  });
  return boundGuides(lower, upper);
}

std::vector<GenerationGuide> numberGuides(const JSONObject& node) {
  // An exclusive floating-point bound is kept at its own value, inclusive.
  const auto same = [](double m) { return m; };
  const auto lower = bound<double>(node, "minimum", "exclusiveMinimum", numberBound, same);
  const auto upper = bound<double>(node, "maximum", "exclusiveMaximum", numberBound, same);
  return boundGuides(lower, upper);
}

}  // namespace TarnwickApple::SchemaTranslator
