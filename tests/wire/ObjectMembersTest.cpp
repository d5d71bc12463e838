// A JSON object's members, read or built in code: the order they are visited in, repeated and
// canonically equal keys, written positions, lookups on both sides of the scan/search size.
#include "TarnwickApple/JSON/JSONValue.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace TarnwickApple {
namespace {

// "key=value@position" for each member, in the order they are visited; the NFC key first
// when it differs from the spelling ("nfc|spelling=...").
std::string visited(const JSONObject& object) {
  std::string out;
  for (const auto& [nfcKey, member] : object) {
    if (!out.empty()) out += ' ';
    if (nfcKey != member.key()) out += std::string(nfcKey) + "|";
    out += std::string(member.key()) + "=" + std::to_string(*member.value.integerValue()) + "@" + std::to_string(member.position);
  }
  return out;
}

// Members numbered in the order written: "{"k9":0,"k8":1,...}" for `count` keys written in
// descending order, so that every object is written out of order.
std::string descending(int count) {
  std::string text = "{";
  for (int i = count - 1; i >= 0; --i) text += (i == count - 1 ? "\"k" : ",\"k") + std::to_string(i) + "\":" + std::to_string(count - 1 - i);
  return text + "}";
}

TEST(JSONObjectMembers, ReadObjectsVisitInKeyOrderWithWrittenPositions) {
  const struct {
    std::string text;
    std::string expected;
  } table[] = {
      {R"({"b":1,"a":2,"c":3})", "a=2@1 b=1@0 c=3@2"},
      // The last value and spelling win; the place is the first occurrence's, counted in
      // distinct keys.
      {R"({"b":1,"a":2,"b":3,"c":4,"a":5})", "a=5@1 b=3@0 c=4@2"},
      {R"({"cafe\u0301":1,"x":2,"caf\u00e9":3})", "caf\xC3\xA9=3@0 x=2@1"},
      {R"({"caf\u00e9":1,"cafe\u0301":2})", "caf\xC3\xA9|cafe\xCC\x81=2@0"},
      // U+212A KELVIN SIGN is canonically "K": one key, visited under its NFC form.
      {R"({"\u212a":1,"J":2,"K":3})", "J=2@1 K=3@0"},
      {R"({"\u212a":1})", "K|\xE2\x84\xAA=1@0"},
      {descending(5), "k0=4@4 k1=3@3 k2=2@2 k3=1@1 k4=0@0"},
      // Past the sizes sorted by insertion and scanned on lookup, with a repeat in the middle.
      {R"({"m":0,"l":1,"k":2,"j":3,"i":4,"h":5,"g":6,"f":7,"e":8,"d":9,"c":10,"b":11,"a":12,"n":13,"o":14,"p":15,"q":16,"g":17,"r":18})",
       "a=12@12 b=11@11 c=10@10 d=9@9 e=8@8 f=7@7 g=17@6 h=5@5 i=4@4 j=3@3 k=2@2 l=1@1 m=0@0 n=13@13 o=14@14 p=15@15 "
       "q=16@16 r=18@17"},
  };
  for (const auto& row : table) {
    const JSONValue value = JSONValue::decode(row.text);
    EXPECT_EQ(visited(*value.objectValue()), row.expected) << row.text;
  }
}

TEST(JSONObjectMembers, LookupsFindCanonicallyEqualKeysAtEverySize) {
  for (const int count : {1, 8, 9, 17, 300}) {
    const JSONValue value = JSONValue::decode(descending(count));
    for (int i = 0; i < count; ++i) {
      const JSONValue* found = value[std::string("k") + std::to_string(i)];
      ASSERT_NE(found, nullptr) << count << " k" << i;
      EXPECT_EQ(found->integerValue(), count - 1 - i);
    }
    EXPECT_EQ(value["k"], nullptr) << count;
    EXPECT_EQ(value[std::string("k") + std::to_string(count)], nullptr) << count;
  }
  const JSONValue accented = JSONValue::decode(R"({"caf\u00e9":1,"\u212a":2,"a":3,"b":4,"c":5,"d":6,"e":7,"f":8,"g":9})");
  EXPECT_EQ(accented["cafe\xCC\x81"]->integerValue(), 1);  // looked up by a decomposed spelling
  EXPECT_EQ(accented["K"]->integerValue(), 2);
  EXPECT_EQ(accented["\xE2\x84\xAA"]->integerValue(), 2);
  EXPECT_EQ(accented["caf"], nullptr);
}

// Keys are held as strings are (in place, in a block, whole): at each size's edge a key reads,
// escaped or not, keeps its spelling, is found by either normal form, and names its member in a
// failure's pointer.
TEST(JSONObjectMembers, KeysOfEveryStorageSize) {
  for (const std::size_t longest : {JSONValue::longestInPlaceString, JSONValue::longestBlockString}) {
    for (const std::size_t size : {longest - 1, longest, longest + 1}) {
      const std::string filler(size - 5, 'k');
      const std::string composed = filler + "caf\xC3\xA9";     // `size` bytes
      const std::string decomposed = filler + "cafe\xCC\x81";  // one more
      const JSONValue read = JSONValue::decode("{\"" + decomposed + "\":1,\"\\u0061" + filler + "\":2}");
      EXPECT_EQ(visited(*read.objectValue()), "a" + filler + "=2@1 " + composed + "|" + decomposed + "=1@0") << size;
      EXPECT_EQ(read[composed]->integerValue(), 1) << size;
      EXPECT_EQ(read[decomposed]->integerValue(), 1) << size;
      EXPECT_EQ(read["a" + filler]->integerValue(), 2) << size;
      JSONObject built;
      built.insert(composed, JSONValue::integer(3));
      built.insert(decomposed, JSONValue::integer(1));  // the same key: the spelling and value change
      built.insert("a" + filler, JSONValue::integer(2));
      EXPECT_EQ(visited(built), "a" + filler + "=2@1 " + composed + "|" + decomposed + "=1@0") << size;
      try {
        JSONValue::decode("{\"" + decomposed + "\":[1e400]}");
        ADD_FAILURE() << "a number out of range decodes, key of " << size << " bytes";
      } catch (const JSONValue::DecodeError& error) {
        ASSERT_TRUE(error.outOfRange()) << size;
        EXPECT_EQ(error.outOfRange()->pointer, "/" + decomposed + "/0") << size;
      }
    }
  }
}

TEST(JSONObjectMembers, BuiltInCodeLikeRead) {
  JSONObject built;
  built.insert("b", JSONValue::integer(1));
  built.insert("a", JSONValue::integer(2));
  built.insert("cafe\xCC\x81", JSONValue::integer(3));
  built.insert("b", JSONValue::integer(4));
  built.insert("caf\xC3\xA9", JSONValue::integer(5));
  EXPECT_EQ(visited(built), "a=2@1 b=4@0 caf\xC3\xA9=5@2");
  EXPECT_TRUE(JSONValue::object(built) == JSONValue::decode(R"({"b":1,"a":2,"cafe\u0301":3,"b":4,"caf\u00e9":5})"));

  EXPECT_EQ(built.extract("cafe\xCC\x81")->integerValue(), 5);
  EXPECT_EQ(built.extract("cafe\xCC\x81"), std::nullopt);
  built.insert("c", JSONValue::integer(6));  // positions keep counting after a removal
  EXPECT_EQ(visited(built), "a=2@1 b=4@0 c=6@3");
  const JSONObject copy = built;
  EXPECT_EQ(visited(copy), visited(built));
}

// Copies of an object share its members until one is changed: the change is the copy's alone,
// and every copy of a read value finds its members at one address.
TEST(JSONObjectMembers, CopiesShareUntilChanged) {
  const JSONValue read = JSONValue::decode(R"({"b":1,"a":2,"caf\u00e9":3})");
  const JSONValue readCopy = read;
  EXPECT_EQ(readCopy.objectValue(), read.objectValue());
  JSONObject copy = *read.objectValue();
  copy.insert("c", JSONValue::integer(4));
  EXPECT_EQ(copy.extract("a")->integerValue(), 2);
  EXPECT_EQ(visited(*read.objectValue()), "a=2@1 b=1@0 caf\xC3\xA9=3@2");
  EXPECT_EQ(visited(copy), "b=1@0 c=4@3 caf\xC3\xA9=3@2");
}

}  // namespace
}  // namespace TarnwickApple
