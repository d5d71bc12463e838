// Strings written as JSON: every byte that needs escaping is found wherever it sits in the
// writer's sixteen-byte steps, and everything else is copied as it is; the appending writer and
// the one that writes into room of its own agree.
#include <gtest/gtest.h>

#include <string>

#include "TarnwickApple/JSON/JSONText.hpp"

namespace {

// The escape of one byte, written out by hand; "" for a byte written as it is.
std::string escapeOf(unsigned char c) {
  switch (c) {
    case '"': return "\\\"";
    case '\\': return "\\\\";
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\t': return "\\t";
    case '\b': return "\\b";
    case '\f': return "\\f";
    case 0x00: return "\\u0000";
    case 0x1b: return "\\u001b";
    case 0x1f: return "\\u001f";
    default: return "";
  }
}

// What appendString appends, after checking that writeString writes the same bytes within the
// room it asks for (a guard byte behind that room stays as it was).
std::string written(std::string_view text) {
  std::string out = "<";  // the writer appends to what is there
  TarnwickApple::JSONText::appendString(out, text);
  const std::size_t room = TarnwickApple::JSONText::maximumStringBytes(text.size());
  std::string buffer(room + 1, '#');
  char* end = TarnwickApple::JSONText::writeString(buffer.data(), text);
  std::string wrote = "<";
  wrote.append(buffer.data(), end);
  EXPECT_EQ(wrote, out);
  EXPECT_EQ(buffer.back(), '#');
  return out;
}

// One byte that needs escaping, or two, at every place of strings around the step sizes, among
// ASCII and UTF-8 bytes (0xC3 0xA9 is é, whose bytes are above every escaped one).
TEST(JSONText, EscapesEveryStopAtEveryPlace) {
  const unsigned char stops[] = {'"', '\\', '\n', '\r', '\t', '\b', '\f', 0x00, 0x1b, 0x1f};
  for (const std::string_view filler : {"a", "\xC3\xA9", " ~\x7f"}) {
    for (std::size_t length : {1u, 7u, 8u, 15u, 16u, 17u, 31u, 32u, 33u, 48u}) {
      std::string plain;
      while (plain.size() < length) plain += filler;
      plain.resize(length - length % filler.size());
      EXPECT_EQ(written(plain), "<\"" + plain + "\"") << length;
      for (const unsigned char stop : stops) {
        for (std::size_t at = 0; at < plain.size(); at += filler.size()) {
          std::string text = plain, expected = "<\"" + plain.substr(0, at);
          text.insert(at, 1, static_cast<char>(stop));
          expected += escapeOf(stop) + plain.substr(at) + "\"";
          ASSERT_EQ(written(text), expected) << "stop " << int(stop) << " at " << at << " of " << text.size();
          // and a second one at the end, after a run that fills the rest of a step
          text += static_cast<char>(stop);
          expected.insert(expected.size() - 1, escapeOf(stop));
          ASSERT_EQ(written(text), expected) << "second stop " << int(stop) << " at " << at;
        }
      }
    }
  }
}

TEST(JSONText, EmptyAndOnlyStops) {
  EXPECT_EQ(written(""), "<\"\"");
  std::string quotes;
  for (int i = 0; i < 20; ++i) quotes += "\\\"";
  EXPECT_EQ(written(std::string(20, '"')), "<\"" + quotes + "\"");
  EXPECT_EQ(written(std::string("\0\x01", 2)), "<\"\\u0000\\u0001\"");
}

}  // namespace
