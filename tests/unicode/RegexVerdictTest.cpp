// The regex's verdicts under its time limits: a match that runs out of time is undecided, and
// stays so; a pattern over the compile limit is not compiled.
#include <gtest/gtest.h>

#include <string>

#include "TarnwickApple/Text/Unicode.hpp"

namespace TarnwickApple::Unicode {
namespace {

TEST(RegexVerdict, DecidedUndecidedAndRemembered) {
  const auto nested = Regex::compile("(a+)+b");
  ASSERT_TRUE(nested);
  EXPECT_EQ(nested->match("aab"), Match::yes);
  EXPECT_EQ(nested->match("aa!"), Match::no);
  // Exponential backtracking: out of time, neither yes nor no, and asked again the same.
  const std::string slow = std::string(40, 'a') + "!";
  EXPECT_EQ(nested->match(slow), Match::undecided);
  EXPECT_FALSE(nested->matchesWhole(slow));
  EXPECT_EQ(Regex::compile("(a+)+b")->match(slow), Match::undecided);
}

TEST(RegexVerdict, CompileLimit) {
  EXPECT_TRUE(Regex::compile(std::string(Regex::maximumPatternBytes, 'a')));
  EXPECT_FALSE(Regex::compile(std::string(Regex::maximumPatternBytes + 1, 'a')));
  EXPECT_FALSE(Regex::compile("(a"));
  EXPECT_FALSE(Regex::compile("(a"));  // a refusal is remembered as one
}

}  // namespace
}  // namespace TarnwickApple::Unicode
