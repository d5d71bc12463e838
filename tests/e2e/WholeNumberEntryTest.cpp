// A token limit read by its exact value, through the echo sidecar: whole in any notation cuts
// the echo, a value that is not whole or out of range is a malformed request.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "support/Subprocess.hpp"

namespace {

const std::string malformedLine =
    "{\"status\":\"error\",\"kind\":\"FoundationModelsError\",\"message\":\"the request on stdin could not be "
    "decoded into a sidecar request\"}\n";
const std::string cutLine = "{\"status\":\"ok\",\"text\":\"hello\"}\n";
const std::string wholeLine = "{\"status\":\"ok\",\"text\":\"hello world\"}\n";

struct EntryCase {
  const char* name;
  const char* limit;
  const std::string* line;
};

void PrintTo(const EntryCase& c, std::ostream* os) { *os << c.name; }

const EntryCase entryCases[] = {
    {"Plain", "2", &cutLine},
    {"PointZero", "2.0", &cutLine},
    {"Exponent", "2e0", &cutLine},
    {"Largest", "9223372036854775807.0", &wholeLine},
    {"BelowRangeByAHalf", "-9223372036854775808.5", &malformedLine},
    {"BelowRange", "-9223372036854775809", &malformedLine},
    {"Underflow", "1e-400", &malformedLine},
    {"AboveRange", "9223372036854775808", &malformedLine},
};

class WholeNumberEntry : public testing::TestWithParam<EntryCase> {};

TEST_P(WholeNumberEntry, TokenLimit) {
  const EntryCase& c = GetParam();
  const std::string input = std::string(R"({"prompt":"hello world","use_case":"general","guardrails":"default",)") +
                            R"("options":{"maximum_response_tokens":)" + c.limit + "}}";
  const auto result = Subprocess::run(Subprocess::testSidecarPath("echo"), {}, input);
  EXPECT_EQ(result.out, *c.line);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exitStatus, 0);
}

INSTANTIATE_TEST_SUITE_P(Limits, WholeNumberEntry, testing::ValuesIn(entryCases),
                         [](const testing::TestParamInfo<EntryCase>& info) { return std::string(info.param.name); });

}  // namespace
