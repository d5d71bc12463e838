// The notes' compact keeping: whatever runs they are kept in, they read back as the same notes
// built whole, in order, after truncation, a note put first, and copying.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "TarnwickApple/Schema/SchemaNote.hpp"

namespace {

using TarnwickApple::SchemaNote;
using TarnwickApple::SchemaNotes;

constexpr std::string_view absent = " is required but is no property";
constexpr std::string_view unlisted = " is listed but is no property";

SchemaNote whole(std::string pointer, std::string_view keyword, std::string detail) {
  return {std::move(pointer), keyword, "listed-but-absent", std::move(detail)};
}

struct Case {
  const char* name;
  std::function<void(SchemaNotes&)> build;
  std::vector<SchemaNote> expected;
};

TEST(SchemaNotes, RunsReadBackAsWholeNotes) {
  const auto about = [](SchemaNotes& notes, const char* pointer, std::string_view keyword, const char* subject,
                        std::string_view rest) { notes.pushAbout(pointer, keyword, "listed-but-absent", subject, rest); };
  const std::vector<Case> cases = {
      {"one run, quoted as the sentence quotes",
       [&](SchemaNotes& n) {
         about(n, "", "required", "a", absent);
         about(n, "", "required", "b\"\n", absent);
         about(n, "", "required", "", absent);
       },
       {whole("", "required", "\"a\"" + std::string(absent)), whole("", "required", "\"b\\\"\\n\"" + std::string(absent)),
        whole("", "required", "\"\"" + std::string(absent))}},
      {"a run ends where the place, keyword or rest changes, and a whole note between",
       [&](SchemaNotes& n) {
         about(n, "/a", "required", "x", absent);
         about(n, "/b", "required", "x", absent);
         about(n, "/b", "x-order", "x", absent);
         about(n, "/b", "x-order", "x", unlisted);
         n.push_back(whole("/b", "x-order", "whole"));
         about(n, "/b", "x-order", "y", unlisted);
         n.push_back(whole("/b", "enum", "member 1 is \"x\"" + std::string(unlisted)));
         n.push_back(whole("/b", "enum", "member 2" + std::string(unlisted)));
         n.push_back(whole("/b", "enum", "item 2" + std::string(unlisted)));
         n.push_back(whole("/b", "enum", "item 3"));
       },
       {whole("/a", "required", "\"x\"" + std::string(absent)), whole("/b", "required", "\"x\"" + std::string(absent)),
        whole("/b", "x-order", "\"x\"" + std::string(absent)), whole("/b", "x-order", "\"x\"" + std::string(unlisted)),
        whole("/b", "x-order", "whole"), whole("/b", "x-order", "\"y\"" + std::string(unlisted)),
        whole("/b", "enum", "member 1 is \"x\"" + std::string(unlisted)), whole("/b", "enum", "member 2" + std::string(unlisted)),
        whole("/b", "enum", "item 2" + std::string(unlisted)), whole("/b", "enum", "item 3")}},
      {"truncation inside a run, across runs, then more of the same run",
       [&](SchemaNotes& n) {
         n.push_back(whole("", "type", "first"));
         for (const char* name : {"a", "bb", "ccc", "dddd"}) about(n, "/p", "required", name, absent);
         n.truncate(3);
         about(n, "/p", "required", "e", absent);
         n.truncate(3);
         n.truncate(7);
       },
       {whole("", "type", "first"), whole("/p", "required", "\"a\"" + std::string(absent)),
        whole("/p", "required", "\"bb\"" + std::string(absent))}},
      {"truncation to nothing, and a note put first",
       [&](SchemaNotes& n) {
         about(n, "", "required", "a", absent);
         n.truncate(0);
         about(n, "", "required", "b", absent);
         n.pushFront(whole("", "prompt", "put first"));
       },
       {whole("", "prompt", "put first"), whole("", "required", "\"b\"" + std::string(absent))}},
      {"numbered notes run while the numbers follow and the rest is the same; cut inside, put after",
       [&](SchemaNotes& n) {
         const auto member = [&](std::size_t number, std::string_view tail) {
           n.pushNumbered("/e", "enum", "listed-but-absent", "member ", number, tail, unlisted);
         };
         member(1, " is an object");
         member(2, " is an object");
         member(4, " is an object");
         member(5, " is an array");
         n.push_back(whole("/e", "enum", "between"));
         member(6, " is an array");
         member(7, " is an array");
         member(8, " is an array");
         n.truncate(7);
         member(8, " is an array");
         n.pushFront(whole("", "prompt", "put first"));
       },
       {whole("", "prompt", "put first"), whole("/e", "enum", "member 1 is an object" + std::string(unlisted)),
        whole("/e", "enum", "member 2 is an object" + std::string(unlisted)),
        whole("/e", "enum", "member 4 is an object" + std::string(unlisted)),
        whole("/e", "enum", "member 5 is an array" + std::string(unlisted)), whole("/e", "enum", "between"),
        whole("/e", "enum", "member 6 is an array" + std::string(unlisted)),
        whole("/e", "enum", "member 7 is an array" + std::string(unlisted)),
        whole("/e", "enum", "member 8 is an array" + std::string(unlisted))}},
      {"a regular note after numbered ones, and truncation back into the numbered run",
       [&](SchemaNotes& n) {
         n.push_back(whole("/a", "type", "A"));
         for (std::size_t i = 0; i < 4; ++i) n.pushNumbered("/e", "enum", "listed-but-absent", "member ", i, " is an object", unlisted);
         about(n, "/e", "required", "x", absent);
         n.truncate(3);
         about(n, "/e", "required", "y", absent);
       },
       {whole("/a", "type", "A"), whole("/e", "enum", "member 0 is an object" + std::string(unlisted)),
        whole("/e", "enum", "member 1 is an object" + std::string(unlisted)),
        whole("/e", "required", "\"y\"" + std::string(absent))}},
      {"truncation drops whole runs, and a note put first moves every other",
       [&](SchemaNotes& n) {
         n.push_back(whole("/a", "type", "A0"));
         n.push_back(whole("/a", "type", "A1"));
         n.push_back(whole("/b", "type", "B"));
         n.truncate(1);
         n.push_back(whole("/c", "type", "C"));
         about(n, "/c", "required", "d", absent);
         n.pushFront(whole("", "prompt", "put first"));
       },
       {whole("", "prompt", "put first"), whole("/a", "type", "A0"), whole("/c", "type", "C"),
        whole("/c", "required", "\"d\"" + std::string(absent))}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SchemaNotes notes;
    c.build(notes);
    ASSERT_EQ(notes.size(), c.expected.size());
    EXPECT_EQ(std::vector<SchemaNote>(notes.begin(), notes.end()), c.expected);
    for (std::size_t i = 0; i < c.expected.size(); ++i) EXPECT_EQ(notes[i], c.expected[i]) << i;
    std::vector<SchemaNote> visited;
    notes.forEach([&](const SchemaNotes::View& view) { return visited.push_back(view.note()), true; });
    EXPECT_EQ(visited, c.expected);
    const SchemaNotes copy = notes;
    EXPECT_EQ(copy, SchemaNotes(c.expected));
    EXPECT_EQ(std::vector<SchemaNote>(copy.begin(), copy.end()), c.expected);
  }
}

TEST(SchemaNotes, VisitingStopsWhenTheVisitorSaysSo) {
  SchemaNotes notes;
  for (const char* name : {"a", "b", "c"}) notes.pushAbout("", "required", "listed-but-absent", name, absent);
  int seen = 0;
  EXPECT_FALSE(notes.forEach([&](const SchemaNotes::View&) { return ++seen < 2; }));
  EXPECT_EQ(seen, 2);
}

}  // namespace
