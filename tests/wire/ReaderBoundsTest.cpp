// The reader never reads past the end of the text it is given: texts of every length up to a few
// blocks of the first stage, placed flush against an inaccessible page, decode or fail cleanly.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "TarnwickApple/JSON/JSONValue.hpp"

namespace TarnwickApple {
namespace {

class GuardedText {
 public:
  GuardedText() : page_(static_cast<std::size_t>(::sysconf(_SC_PAGESIZE))) {
    void* memory = ::mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    base_ = memory == MAP_FAILED ? nullptr : static_cast<char*>(memory);
    if (base_ != nullptr) ::mprotect(base_ + page_, page_, PROT_NONE);
  }
  ~GuardedText() {
    if (base_ != nullptr) ::munmap(base_, 2 * page_);
  }
  bool ready() const { return base_ != nullptr; }
  // `text` copied so that its last byte is the last readable one.
  std::string_view place(const std::string& text) {
    char* start = base_ + page_ - text.size();
    std::memcpy(start, text.data(), text.size());
    return {start, text.size()};
  }

 private:
  std::size_t page_;
  char* base_;
};

TEST(ReaderBounds, NothingReadPastTheEnd) {
  GuardedText guarded;
  ASSERT_TRUE(guarded.ready());
  for (std::size_t length = 1; length <= 300; ++length) {
    SCOPED_TRACE(length);
    // An array of numbers padded to end exactly at `length`, and the same cut one byte short.
    std::string numbers = "1";
    while (numbers.size() + 4 <= length) numbers += ",1";
    std::string text = "[";
    if (length >= 3) text += numbers + std::string(length - 2 - numbers.size(), ' ');
    if (length >= 2) text += ']';
    if (length >= 2) {
      EXPECT_EQ(JSONValue::decode(guarded.place(text)).kind(), JSONValue::Case::array);
    }
    EXPECT_THROW(JSONValue::decode(guarded.place(text.substr(0, length - 1) + (length >= 2 ? "" : "["))), JSONValue::DecodeError);
    std::string string(length + 2, 'x');
    string.front() = string.back() = '"';
    EXPECT_EQ(JSONValue::decode(guarded.place(string)).stringValue()->size(), length);
    EXPECT_THROW(JSONValue::decode(guarded.place(string.substr(0, string.size() - 1))), JSONValue::DecodeError);
  }
}

}  // namespace
}  // namespace TarnwickApple
