// Whole-number members read by the literal's exact value: "maximum_response_tokens" and "top"
// within int64, "seed" within uint64, at the edges of each range and in every notation.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "TarnwickApple/Errors/SidecarError.hpp"
#include "TarnwickApple/Protocol/Wire.hpp"

namespace TarnwickApple {
namespace {

struct WholeNumberCase {
  const char* literal;
  std::optional<std::int64_t> asSigned;     // nothing: a signed member refuses the literal
  std::optional<std::uint64_t> asUnsigned;  // nothing: "seed" refuses the literal
};

void PrintTo(const WholeNumberCase& c, std::ostream* os) { *os << c.literal; }

constexpr std::int64_t int64Min = INT64_MIN;
constexpr std::int64_t int64Max = INT64_MAX;
constexpr std::uint64_t uint64Max = UINT64_MAX;

const WholeNumberCase wholeNumberCases[] = {
    {"-9223372036854775809", std::nullopt, std::nullopt},
    {"-9223372036854775808", int64Min, std::nullopt},
    {"-9223372036854775808.5", std::nullopt, std::nullopt},
    {"-92233720368547758085e-1", std::nullopt, std::nullopt},
    {"-9223372036854775808e0", int64Min, std::nullopt},
    {"1e-400", std::nullopt, std::nullopt},
    {"0e-1", 0, 0},
    {"-0", 0, 0},
    {"-0.0e5", 0, 0},
    {"2.0", 2, 2},
    {"2e0", 2, 2},
    {"20E-1", 2, 2},
    {"2.5", std::nullopt, std::nullopt},
    {"-1", -1, std::nullopt},
    {"9223372036854775807.0", int64Max, 9223372036854775807ull},
    {"9223372036854775808", std::nullopt, 9223372036854775808ull},
    {"18446744073709551615", std::nullopt, uint64Max},
    {"1.8446744073709551615e19", std::nullopt, uint64Max},
    {"18446744073709551616", std::nullopt, std::nullopt},
    {"1.8446744073709551616e19", std::nullopt, std::nullopt},
    {"1e19", std::nullopt, 10000000000000000000ull},
    {"1e20", std::nullopt, std::nullopt},
    {"1e400", std::nullopt, std::nullopt},  // refused by the reader
};

std::string request(const std::string& options) {
  return R"({"prompt":"p","use_case":"general","guardrails":"default","options":)" + options + "}";
}

// The options as read, or nothing when the request is malformed.
std::optional<Options> readOptions(const std::string& options) {
  try {
    return *Request::decode(request(options)).options;
  } catch (const SidecarError& error) {
    EXPECT_EQ(error, SidecarError::malformedRequest);
    return std::nullopt;
  }
}

class WholeNumberMember : public testing::TestWithParam<WholeNumberCase> {};

TEST_P(WholeNumberMember, MaximumResponseTokens) {
  const WholeNumberCase& c = GetParam();
  const auto options = readOptions(std::string(R"({"maximum_response_tokens":)") + c.literal + "}");
  EXPECT_EQ(options.has_value(), c.asSigned.has_value());
  if (options) {
    EXPECT_EQ(options->maximumResponseTokens, c.asSigned);
  }
}

TEST_P(WholeNumberMember, Top) {
  const WholeNumberCase& c = GetParam();
  const auto options = readOptions(std::string(R"({"sampling":{"mode":"random","top":)") + c.literal + "}}");
  EXPECT_EQ(options.has_value(), c.asSigned.has_value());
  if (options) {
    EXPECT_EQ(options->sampling, Sampling::random(c.asSigned, std::nullopt, std::nullopt));
  }
}

TEST_P(WholeNumberMember, Seed) {
  const WholeNumberCase& c = GetParam();
  const auto options = readOptions(std::string(R"({"sampling":{"mode":"random","seed":)") + c.literal + "}}");
  EXPECT_EQ(options.has_value(), c.asUnsigned.has_value());
  if (options) {
    EXPECT_EQ(options->sampling, Sampling::random(std::nullopt, std::nullopt, c.asUnsigned));
  }
}

std::string caseName(const testing::TestParamInfo<WholeNumberCase>& info) {
  std::string name;
  for (const char* p = info.param.literal; *p != '\0'; ++p) {
    const char c = *p;
    name += c == '-' ? 'm' : c == '.' ? 'p' : c == '+' ? 'P' : c;
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Literals, WholeNumberMember, testing::ValuesIn(wholeNumberCases), caseName);

}  // namespace
}  // namespace TarnwickApple
