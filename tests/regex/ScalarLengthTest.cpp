// The length of the UTF-8 sequence a byte opens, as the tokenizer and the pattern reader count
// it: a stray continuation byte stands alone.
#include <gtest/gtest.h>

#include "TarnwickApple/Text/Unicode.hpp"

namespace {

TEST(ScalarLength, ByLeadByte) {
  const std::pair<unsigned char, std::size_t> table[] = {
      {0x00, 1}, {'a', 1}, {0x7F, 1}, {0x80, 1}, {0xA9, 1}, {0xBF, 1},  // ASCII, then stray continuations
      {0xC2, 2}, {0xDF, 2}, {0xE0, 3}, {0xEF, 3}, {0xF0, 4}, {0xF4, 4}, {0xFF, 4},
  };
  for (const auto& [lead, length] : table) {
    EXPECT_EQ(TarnwickApple::Unicode::scalarLength(lead), length) << static_cast<int>(lead);
  }
}

}  // namespace
