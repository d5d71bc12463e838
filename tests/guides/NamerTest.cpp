// Unique type names: numbering, canonical equivalence, reserved definition names, and the
// per-base hint giving exactly the plain algorithm's answers.
#include "TarnwickApple/Schema/Namer.hpp"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "TarnwickApple/Text/Unicode.hpp"

namespace TarnwickApple {
namespace {

TEST(Namer, NumbersRepeatedNamesFromTwo) {
  Namer namer;
  EXPECT_EQ(namer.unique("Schema"), "Schema");
  EXPECT_EQ(namer.unique("Schema"), "Schema2");
  EXPECT_EQ(namer.unique("Schema"), "Schema3");
  EXPECT_EQ(namer.unique(""), "Schema4");
}

TEST(Namer, EmptyNameIsSchema) {
  Namer namer;
  EXPECT_EQ(namer.unique(""), "Schema");
  EXPECT_EQ(namer.unique("Schema"), "Schema2");
}

TEST(Namer, CountsPastTakenCandidates) {
  Namer namer;
  namer.reserve("A");
  namer.reserve("A2");
  EXPECT_EQ(namer.unique("A"), "A3");
  EXPECT_EQ(namer.unique("A2"), "A22");
  EXPECT_EQ(namer.unique("a"), "a");  // case-sensitive
}

TEST(Namer, ReservedDefinitionNamesAreTaken) {
  Namer namer;
  namer.reserve("SchemaItem");
  EXPECT_TRUE(namer.isTaken("SchemaItem"));
  EXPECT_EQ(namer.unique("SchemaItem"), "SchemaItem2");
}

TEST(Namer, CanonicallyEquivalentNamesAreTheSame) {
  Namer namer;
  EXPECT_EQ(namer.unique("Caf\u0065\u0301"), "Caf\u0065\u0301");
  EXPECT_EQ(namer.unique("Caf\u00e9"), "Caf\u00e92");  // the wanted spelling, numbered
  EXPECT_TRUE(namer.isTaken("Caf\u0065\u03012"));
  EXPECT_EQ(namer.unique("Caf\u0065\u0301"), "Caf\u0065\u03013");
}

TEST(Namer, NamesLongerThanTheRegistrysBlocks) {
  Namer namer;
  const std::string longName(70000, 'L');
  EXPECT_EQ(namer.unique("A"), "A");
  EXPECT_EQ(namer.unique(longName), longName);
  EXPECT_EQ(namer.unique("B"), "B");
  EXPECT_EQ(namer.unique(longName), longName + "2");
  EXPECT_TRUE(namer.isTaken(longName + "2"));
  EXPECT_FALSE(namer.isTaken(longName + "3"));
  EXPECT_EQ(namer.unique("A"), "A2");
}

// The plain algorithm, without the hint.
struct PlainNamer {
  std::set<std::string> taken;
  std::string unique(const std::string& wanted) {
    const std::string base = wanted.empty() ? "Schema" : wanted;
    if (taken.insert(Unicode::nfc(base)).second) return base;
    for (int n = 2;; ++n) {
      if (taken.insert(Unicode::nfc(base + std::to_string(n))).second) return base + std::to_string(n);
    }
  }
};

TEST(Namer, HintGivesThePlainAlgorithmsAnswers) {
  // Bases that collide with each other's numbered forms ("A" + 12 is "A1" + 2).
  const std::string names[] = {"A", "A1", "A12", "A2", "", "Schema", "Schema2", "B"};
  std::mt19937 random(7);
  Namer namer;
  PlainNamer plain;
  for (int step = 0; step < 3000; ++step) {
    const std::string& wanted = names[random() % std::size(names)];
    if (random() % 5 == 0) {
      const std::string reserved = wanted + std::to_string(random() % 40);
      namer.reserve(reserved);
      plain.taken.insert(reserved);
    } else {
      ASSERT_EQ(namer.unique(wanted), plain.unique(wanted)) << "step " << step << ", wanted " << wanted;
    }
  }
}

}  // namespace
}  // namespace TarnwickApple

// A name handed out as a view is the answer unique() gives, in the wanted spelling whichever
// normal form it is in, and stays valid as many more names fill the registry's blocks.
TEST(Namer, NamesAsViewsGetTheSameAnswersAndStayValid) {
  TarnwickApple::Namer byView, byCopy;
  byView.reserve("Taken");
  byCopy.reserve("Taken");
  std::vector<std::pair<std::string_view, std::string>> handed;
  const std::string longName(40, 'x');
  for (const std::string name : {"A", "A", "", "Schema", "Taken", "caf\u00e9", "cafe\u0301", "cafe\u0301", "A2", "A",
                                 "Taken", longName.c_str(), longName.c_str()}) {
    const std::string_view view = byView.name(name);
    const std::string copy = byCopy.unique(name);
    EXPECT_EQ(view, copy) << name;
    handed.emplace_back(view, copy);
  }
  EXPECT_EQ(handed[6].second, "cafe\u03012");
  for (int i = 0; i < 3000; ++i) {
    const std::string wanted = "Filler" + std::string(static_cast<std::size_t>(i % 50), 'f');
    ASSERT_EQ(byView.name(wanted), byCopy.unique(wanted)) << i;
  }
  for (const auto& [view, copy] : handed) EXPECT_EQ(view, copy);
}

// Every name stays taken, and no other is, as the registry goes from a few names to a table.
TEST(Namer, TakenNamesAcrossTheFirstFew) {
  TarnwickApple::Namer namer;
  const auto numbered = [](int n) { return std::string("N").append(std::to_string(n)); };
  std::vector<std::string> taken;
  for (int i = 0; i < 20; ++i) {
    taken.push_back(namer.unique(i % 2 ? std::string("caf\u00e9") : numbered(i)));
    for (const std::string& name : taken) EXPECT_TRUE(namer.isTaken(name)) << name << " after " << i;
    EXPECT_TRUE(namer.isTaken("cafe\u0301") == (i >= 1)) << i;
    EXPECT_FALSE(namer.isTaken(numbered(i + 1))) << i;
  }
  EXPECT_EQ(taken[3], "caf\u00e92");
}
