// What the Swift path rewrites on its way to the reference engine, against the reference build:
// patterns that Swift's Regex prints back with escapes of its own, and bounds at the ends of
// their types. Generated requests of every shape run in tests/differential (differential@swift).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TarnwickApple/JSON/JSONText.hpp"
#include "support/Subprocess.hpp"

namespace {

void expectSameRuns(const std::string& schema) {
  for (const char* options : {R"({"sampling":{"mode":"greedy"}})", R"({"sampling":{"mode":"random","top":9,"seed":7}})",
                              R"({"sampling":{"mode":"random","seed":18446744073709551615}})"}) {
    const std::string input = R"({"prompt":"p","use_case":"general","guardrails":"default","options":)" +
                              std::string(options) + R"(,"schema":)" + schema + "}";
    const auto reference = Subprocess::run(Subprocess::testSidecarPath("reference"), {}, input);
    const auto swift = Subprocess::run(Subprocess::testSidecarPath("swift"), {}, input);
    // A request both builds refuse never reaches Swift's Regex or its bounds: every case here must
    // be one the reference build answers.
    EXPECT_TRUE(reference.out.starts_with(R"({"status":"ok","text":)")) << input << "\n" << reference.out;
    EXPECT_EQ(swift.out, reference.out) << input;
    EXPECT_EQ(swift.err, reference.err) << input;
    EXPECT_EQ(swift.exitStatus, reference.exitStatus) << input;
  }
}

std::string patternSchema(const std::string& pattern) {
  std::string out = R"({"type":"string","pattern":)";
  TarnwickApple::JSONText::appendString(out, pattern);
  return out + "}";
}

TEST(SwiftDifferential, PatternsSwiftPrintsBackEscaped) {
  // Every ASCII punctuation character as a literal, alone and next to the dialect's constructs.
  const std::string punctuation = "!\"#%&',-/:;<=>@_`~ ";
  for (const char c : punctuation) {
    const std::string literal(1, c);
    expectSameRuns(patternSchema("^a" + literal + "b$"));
    expectSameRuns(patternSchema("^\\d{2}" + literal + "\\w+" + literal + "?$"));
  }
  for (const char* pattern : {"^(ab|c)+-x$", "^a}$", "^\\.\\*\\+\\?\\(\\)\\[\\]\\{\\}\\|\\^\\$\\\\$",
                                     "^d\xC3\xA9j\xC3\xA0-\xF0\x9F\x90\xA6{1,3}$", "^x{2,}y{0,1}$", "^[a-c]-[0-9]$"}) {
    expectSameRuns(patternSchema(pattern));
  }
}

TEST(SwiftDifferential, BoundsAtTheEndsOfTheirTypes) {
  for (const char* schema : {
           R"({"type":"integer","minimum":-9223372036854775808,"maximum":9223372036854775807})",
           R"({"type":"integer","minimum":9223372036854775807})", R"({"type":"integer","maximum":-9223372036854775808})",
           R"({"type":"number","minimum":-1.7976931348623157e308,"maximum":1.7976931348623157e308})",
           R"({"type":"number","minimum":5e-324,"maximum":1e-300})", R"({"type":"number","exclusiveMaximum":-0.0})",
           R"({"type":"array","items":{"type":"boolean"},"minItems":0,"maxItems":9223372036854775807})",
       }) {
    expectSameRuns(schema);
  }
}

}  // namespace
