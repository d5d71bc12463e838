// The generation guides of scalar schemas: a string's constant and pattern, a number's bounds.
#include <cmath>
#include <limits>

#include "TarnwickApple/Schema/internal/Explain.hpp"
#include "TarnwickApple/JSON/Quoting.hpp"
#include "TarnwickApple/Schema/internal/RegexRewriting.hpp"
#include "TarnwickApple/Schema/internal/SchemaTranslation.hpp"
#include "TarnwickApple/Errors/SidecarError.hpp"
#include "TarnwickApple/Text/Unicode.hpp"

namespace TarnwickApple::SchemaTranslator {
namespace {

using FoundationModels::GenerationGuide;
using Quoting::quoted;

// A bound as read: its value, the keyword it came from and the value as written.
template <typename T>
struct Bound {
  T value;
  std::string_view key;
  const JSONValue* written;
};

std::int64_t integerBound(const JSONValue& value, std::string_view key, Context& context) {
  const auto reading = value.integerValue();
  if (!reading) {
    context.refuse(SidecarError::unsupportedConstruct, [&] {
      const auto d = value.doubleValue();
      const char* why = !d ? " is not a number" : std::trunc(*d) != *d ? " is not a whole number" : " is out of the 64-bit range";
      return quoted(key) + " " + quoted(value) + why;
    });
  }
  return *reading;
}

double numberBound(const JSONValue& value, std::string_view key, Context& context) {
  const auto reading = value.doubleValue();
  if (!reading) context.refuse(SidecarError::unsupportedConstruct, [&] { return quoted(key) + " " + quoted(value) + " is not a number"; });
  return *reading;
}

// The inclusive bound under `inclusiveKey`, else the exclusive one under `exclusiveKey` made
// inclusive by `adjusted`, else none. The exclusive key is not read when the inclusive one is
// present.
template <typename T, typename Read, typename Adjust>
std::optional<Bound<T>> bound(const Keywords& node, std::string_view inclusiveKey, std::string_view exclusiveKey,
                              Read read, Adjust adjusted, Context& context) {
  if (const JSONValue* inclusive = node.find(inclusiveKey)) {
    return Bound<T>{read(*inclusive, inclusiveKey, context), inclusiveKey, inclusive};
  }
  if (const JSONValue* exclusive = node.find(exclusiveKey)) {
    // Draft 4's boolean form qualifies an inclusive bound, and there is none here.
    if (exclusive->isBool()) {
      context.note(exclusiveKey, "ignored", [&] {
        return quoted(exclusiveKey) + ": " + quoted(*exclusive) + " qualifies no " + quoted(inclusiveKey) + ", so it says nothing";
      });
      return std::nullopt;
    }
    return Bound<T>{adjusted(read(*exclusive, exclusiveKey, context)), exclusiveKey, exclusive};
  }
  return std::nullopt;
}

// One guide from the settled bounds: range, minimum, maximum or none.
template <typename T>
std::vector<GenerationGuide> boundGuides(const std::optional<Bound<T>>& lower, const std::optional<Bound<T>>& upper,
                                         Context& context) {
  if (lower && upper) {
    if (!(lower->value <= upper->value)) {
      context.refuse(SidecarError::invertedBounds, [&] {
        const std::string both = quoted(lower->key) + " " + quoted(*lower->written) + " and " + quoted(upper->key) + " " +
                                 quoted(*upper->written);
        const auto written = [](const Bound<T>& b) { return b.written->doubleValue().value_or(0); };
        return written(*lower) > written(*upper)
                   ? quoted(lower->key) + " " + quoted(*lower->written) + " exceeds " + quoted(upper->key) + " " + quoted(*upper->written)
                   : both + " leave no value between them";
      });
    }
    return {GenerationGuide::range(lower->value, upper->value)};
  }
  if (lower) return {GenerationGuide::minimum(lower->value)};
  if (upper) return {GenerationGuide::maximum(upper->value)};
  return {};
}

// True when the pattern starts with "^" and ends with an unescaped "$": JSON Schema finds any
// other pattern anywhere in the string, where the model matches the whole string.
bool anchored(std::string_view text) {
  if (text.size() < 2 || text.front() != '^' || text.back() != '$') return false;
  std::size_t backslashes = 0;
  for (std::size_t i = text.size() - 1; i > 0 && text[i - 1] == '\\'; --i) ++backslashes;
  return backslashes % 2 == 0;
}

// The pattern guide, or nothing (a pattern outside the dialect, or one ICU refuses once
// rewritten, just gets no guide); the recorder hears what became of the pattern.
std::optional<GenerationGuide> patternGuide(const JSONValue& pattern, Context& context) {
  const auto text = pattern.stringValue();
  if (!text) {
    context.note("pattern", "pattern-dropped", [&] { return "the pattern is " + std::string(Quoting::kindName(pattern)) + ", not a string; no pattern is enforced"; });
    return std::nullopt;
  }
  const RegexPattern::Rewriting rewritten = RegexPattern::rewrite(*text);
  if (!rewritten.pattern) {
    context.note("pattern", "pattern-dropped", [&] {
      return Quoting::verbatim(*text) + " uses " + rewritten.refusal + ", which the model's dialect lacks; no pattern is enforced";
    });
    return std::nullopt;
  }
  if (rewritten.pattern->size() > Unicode::Regex::maximumPatternBytes) {
    context.note("pattern", "pattern-dropped", [&] {
      return Quoting::verbatim(*text) + " is longer than " + std::to_string(Unicode::Regex::maximumPatternBytes) +
             " bytes once rewritten, more than the regex engine compiles in good time; no pattern is enforced";
    });
    return std::nullopt;
  }
  auto expression = Unicode::Regex::compile(*rewritten.pattern);
  if (!expression) {
    context.note("pattern", "pattern-dropped", [&] {
      return Quoting::verbatim(*text) + " rewritten as " + Quoting::verbatim(*rewritten.pattern) + " does not compile; no pattern is enforced";
    });
    return std::nullopt;
  }
  if (!anchored(*text)) {
    context.note("pattern", "pattern-anchored", [&] {
      return Quoting::verbatim(*text) + " is matched against the whole string, not found anywhere in it; write \"^...$\" to say so";
    });
  }
  if (rewritten.widened) {
    context.note("pattern", "pattern-widened", [&] {
      return Quoting::verbatim(*text) + " is enforced as " + Quoting::verbatim(*rewritten.pattern) + ", which accepts more";
    });
  }
  return GenerationGuide::pattern(std::move(*expression));
}

}  // namespace

std::vector<GenerationGuide> stringGuides(const Keywords& node, Context& context) {
  std::vector<GenerationGuide> guides;
  std::optional<std::string_view> constantText;
  if (const JSONValue* constant = node[Keyword::constant]) {
    if ((constantText = constant->stringValue())) guides.push_back(GenerationGuide::constant(std::string(*constantText)));
  }
  if (const JSONValue* pattern = node[Keyword::pattern]) {
    if (auto guide = patternGuide(*pattern, context)) {
      // A constant its enforced pattern certainly rejects leaves no value to generate. A match
      // that runs out of time proves nothing and refuses nothing; the verdict is remembered, so
      // a schema repeating the pair pays for one match.
      if (constantText && guide->expression().match(*constantText) == Unicode::Match::no) {
        context.refuse(SidecarError::unsupportedConstruct, [&] {
          return "\"const\" " + quoted(*node[Keyword::constant]) + " does not match its \"pattern\" " +
                 quoted(*node[Keyword::pattern]) + ", so no value satisfies both";
        });
      }
      guides.push_back(std::move(*guide));
    }
  }
  return guides;
}

std::vector<GenerationGuide> integerGuides(const Keywords& node, Context& context) {
  // x > m is x >= m + 1 and x < m is x <= m - 1, unless that leaves the 64-bit range.
  const auto lower = bound<std::int64_t>(node, "minimum", "exclusiveMinimum", integerBound, [&](std::int64_t m) {
    if (m == std::numeric_limits<std::int64_t>::max()) {
      context.refuse(SidecarError::unsupportedConstruct, [&] { return "\"exclusiveMinimum\" " + std::to_string(m) + " leaves no integer above it"; });
    }
    return m + 1;
  }, context);
  const auto upper = bound<std::int64_t>(node, "maximum", "exclusiveMaximum", integerBound, [&](std::int64_t m) {
    if (m == std::numeric_limits<std::int64_t>::min()) {
      context.refuse(SidecarError::unsupportedConstruct, [&] { return "\"exclusiveMaximum\" " + std::to_string(m) + " leaves no integer below it"; });
    }
    return m - 1;
  }, context);
  return boundGuides(lower, upper, context);
}

std::vector<GenerationGuide> numberGuides(const Keywords& node, Context& context) {
  // An exclusive floating-point bound is kept at its own value, inclusive.
  const auto same = [](double m) { return m; };
  const auto lower = bound<double>(node, "minimum", "exclusiveMinimum", numberBound, same, context);
  const auto upper = bound<double>(node, "maximum", "exclusiveMaximum", numberBound, same, context);
  for (const auto& settled : {lower, upper}) {
    if (!settled || !settled->key.starts_with("exclusive")) continue;
    context.note(settled->key, "bound-relaxed", [&] {
      return "enforced as the inclusive bound " + quoted(*settled->written) + ", so that value itself may be generated";
    });
  }
  return boundGuides(lower, upper, context);
}

}  // namespace TarnwickApple::SchemaTranslator
