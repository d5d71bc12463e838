// The ASCII check read eight bytes at a time, with the last word overlapping: a byte above 0x7F
// is seen wherever it sits, in texts around the word size.
#include <gtest/gtest.h>

#include <string>

#include "TarnwickApple/Text/Unicode.hpp"

namespace {

TEST(ASCII, AHighByteAnywhereIsSeen) {
  for (std::size_t length = 0; length <= 40; ++length) {
    std::string text(length, 'a');
    for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char>(0x20 + (i * 7) % 0x5F);  // every ASCII kind
    EXPECT_TRUE(TarnwickApple::Unicode::isASCII(text)) << length;
    for (std::size_t at = 0; at < length; ++at) {
      for (const unsigned char high : {0x80, 0xC3, 0xFF}) {
        std::string marked = text;
        marked[at] = static_cast<char>(high);
        EXPECT_FALSE(TarnwickApple::Unicode::isASCII(marked)) << "byte " << int(high) << " at " << at << " of " << length;
      }
    }
  }
  // Only the viewed bytes count: a high byte just past the view is not read as the view's.
  const std::string padded = std::string(11, 'x') + "\xC3";
  EXPECT_TRUE(TarnwickApple::Unicode::isASCII(std::string_view(padded).substr(0, 11)));
}

}  // namespace
