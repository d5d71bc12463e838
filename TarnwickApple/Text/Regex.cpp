// The platform's regex over ICU, with bounded time: each match has a time limit, all the
// matches of a process share one budget, and every verdict is remembered, so no pattern is
// compiled twice and no text matched twice against it. A plain pattern, which ICU is sure to
// accept, is matched by its own linear-time automaton, exactly and without a time limit; ICU
// compiles it only if that automaton is too large. ICU's regex set-up costs more than a whole
// structured request.
#include <unicode/regex.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>

#include <mutex>
#include <unordered_map>

#include "TarnwickApple/Text/PlainPattern.hpp"
#include "TarnwickApple/Text/internal/PlainMatcher.hpp"
#include "TarnwickApple/Text/Unicode.hpp"

namespace TarnwickApple::Unicode {
namespace {

// Compiled forms and verdicts remembered at most: enough for any real schema, and a schema of
// millions of distinct patterns or constants costs only the budget's time, not memory.
constexpr std::size_t maximumRemembered = 4096;

// Time units left to the process's matches; ICU's callback spends it tick by tick.
std::int32_t budgetLeft = Regex::processTimeBudget;
// Work left to the process's plain automata, in instructions times characters (about 0.2 s);
// past it plain patterns are matched by ICU, under ICU's budget.
std::size_t automatonWorkLeft = std::size_t{1} << 24;

// One match's time as ICU reports it: the callback gets the match's running total of units.
struct MatchClock {
  std::int32_t seen = 0;
};

UBool U_CALLCONV spend(const void* context, int32_t steps) {
  auto* clock = static_cast<MatchClock*>(const_cast<void*>(context));
  budgetLeft -= steps - clock->seen;
  clock->seen = steps;
  return budgetLeft > 0;
}

}  // namespace

struct Regex::Compiled {
  std::string pattern;
  bool plain = false;
  std::optional<RegexPattern::PlainMatcher> automaton;  // plain patterns of a reasonable size
  mutable std::unique_ptr<icu::RegexPattern> expression;  // plain patterns: made on first match
  mutable std::unordered_map<std::string, Match> verdicts;
};

namespace {

// One lock for the cache, the verdicts and the budget: nothing here is contended in practice.
std::mutex& lock() {
  static std::mutex mutex;
  return mutex;
}

// Compiled forms by pattern text; a refused pattern is remembered as nullptr.
std::unordered_map<std::string, std::shared_ptr<const Regex::Compiled>>& compiledForms() {
  static auto* forms = new std::unordered_map<std::string, std::shared_ptr<const Regex::Compiled>>();
  return *forms;
}

std::unique_ptr<icu::RegexPattern> icuCompile(std::string_view pattern) {
  UErrorCode status = U_ZERO_ERROR;
  UText* utext = utext_openUTF8(nullptr, pattern.data(), static_cast<int64_t>(pattern.size()), &status);
  UParseError parseError;
  std::unique_ptr<icu::RegexPattern> expression(icu::RegexPattern::compile(utext, 0, parseError, status));
  utext_close(utext);
  if (U_FAILURE(status)) return nullptr;
  return expression;
}

std::shared_ptr<const Regex::Compiled> compileNow(std::string_view pattern) {
  auto compiled = std::make_shared<Regex::Compiled>();
  compiled->pattern = std::string(pattern);
  compiled->plain = RegexPattern::isPlain(pattern);
  if (compiled->plain) compiled->automaton = RegexPattern::PlainMatcher::compile(pattern);
  if (!compiled->plain && !(compiled->expression = icuCompile(pattern))) return nullptr;
  return compiled;
}

Match matchNow(const icu::RegexPattern& expression, std::string_view text) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::UnicodeString input = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  std::unique_ptr<icu::RegexMatcher> matcher(expression.matcher(input, status));
  if (U_FAILURE(status) || !matcher) return Match::undecided;
  MatchClock clock;
  matcher->setTimeLimit(Regex::matchTimeLimit, status);
  matcher->setMatchCallback(spend, &clock, status);
  const bool matched = matcher->matches(status);
  // Out of time, out of backtracking stack or stopped by the budget: the match proves nothing.
  if (U_FAILURE(status)) return Match::undecided;
  return matched ? Match::yes : Match::no;
}

}  // namespace

Regex::Regex(std::shared_ptr<const Compiled> compiled) : compiled_(std::move(compiled)) {}

std::optional<Regex> Regex::compile(std::string_view pattern) {
  if (pattern.size() > maximumPatternBytes || !isValidUTF8(pattern)) return std::nullopt;
  const std::lock_guard<std::mutex> held(lock());
  auto& forms = compiledForms();
  const std::string key(pattern);
  auto found = forms.find(key);
  if (found == forms.end()) {
    auto compiled = compileNow(pattern);
    if (forms.size() >= maximumRemembered) return compiled ? std::optional(Regex(std::move(compiled))) : std::nullopt;
    found = forms.emplace(key, std::move(compiled)).first;
  }
  if (!found->second) return std::nullopt;
  return Regex(found->second);
}

const std::string& Regex::pattern() const { return compiled_->pattern; }

bool Regex::plain() const { return compiled_->plain; }

Match Regex::match(std::string_view text) const {
  const std::lock_guard<std::mutex> held(lock());
  auto& verdicts = compiled_->verdicts;
  const std::string key(text);
  if (const auto found = verdicts.find(key); found != verdicts.end()) return found->second;
  if (compiled_->automaton && compiled_->automaton->workBound(text) <= automatonWorkLeft) {
    automatonWorkLeft -= compiled_->automaton->workBound(text);
    if (const auto matched = compiled_->automaton->matches(text)) {
      const Match verdict = *matched ? Match::yes : Match::no;
      if (verdicts.size() < maximumRemembered) verdicts.emplace(key, verdict);
      return verdict;
    }
  }
  if (!compiled_->expression) compiled_->expression = icuCompile(compiled_->pattern);
  // Once the budget is spent nothing more is tried: every later match is undecided. A plain
  // pattern ICU refused after all (none is known) matches nothing.
  Match verdict = Match::no;
  if (budgetLeft <= 0) verdict = Match::undecided;
  else if (compiled_->expression) verdict = matchNow(*compiled_->expression, text);
  if (verdicts.size() < maximumRemembered) verdicts.emplace(key, verdict);
  return verdict;
}

}  // namespace TarnwickApple::Unicode
