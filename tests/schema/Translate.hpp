// What a JSON Schema document becomes: its generation schema description, or the refusal.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "TarnwickApple/JSON/JSONValue.hpp"
#include "TarnwickApple/Schema/SchemaExplanation.hpp"
#include "TarnwickApple/Schema/SchemaTranslator.hpp"
#include "TarnwickApple/Errors/SidecarError.hpp"

namespace SchemaTests {

// The description of the translated document, or "refused: MESSAGE" with the SidecarError's
// message. Any other failure escapes and fails the test.
inline std::string translated(std::string_view json) {
  const TarnwickApple::JSONValue document = TarnwickApple::JSONValue::decode(json);
  try {
    return TarnwickApple::SchemaTranslator::generationSchema(document).description();
  } catch (const TarnwickApple::SidecarError& error) {
    return "refused: " + std::string(error.message());
  }
}

// The checker's account of a document as lines: the description first when `withDescription`,
// then each note as "POINTER KEYWORD EFFECT: DETAIL"; or the one line "refused at POINTER: REASON".
inline std::vector<std::string> explainedLines(std::string_view json, bool withDescription) {
  using namespace TarnwickApple;
  const SchemaTranslator::Explained explained = SchemaTranslator::explained(JSONValue::decode(json));
  if (!explained.schema) return {"refused at " + explained.pointer + ": " + explained.reason};
  std::vector<std::string> lines;
  if (withDescription) lines.push_back(explained.schema->description());
  for (const SchemaNote& note : explained.notes) {
    lines.push_back(note.pointer + " " + std::string(note.keyword) + " " + std::string(note.effect) + ": " + note.detail);
  }
  return lines;
}

// One row of an explanation table: a document and its exact lines (above).
struct ExplainedCase {
  const char* schema;
  std::vector<std::string> expected;
};

inline void expectExplained(const std::vector<ExplainedCase>& cases, bool withDescription) {
  for (const ExplainedCase& c : cases) {
    SCOPED_TRACE(c.schema);
    EXPECT_EQ(explainedLines(c.schema, withDescription), c.expected);
  }
}

// The description of a root without dependencies.
inline std::string rootOnly(std::string_view node) {
  return "{\"root\":" + std::string(node) + ",\"dependencies\":[]}";
}

// One row of a translation table: a document and its exact description or refusal.
struct Case {
  const char* schema;
  std::string expected;
};

inline void expectAll(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.schema);
    EXPECT_EQ(translated(c.schema), c.expected);
  }
}

inline const std::string notObject = "refused: the schema is not a JSON object";
inline const std::string unsupported = "refused: the schema uses a construct the on-device model cannot express";
inline const std::string outsideReference = "refused: the schema references a definition outside its own $defs";
inline const std::string unresolved = "refused: the schema does not resolve into a generation schema";
inline const std::string inverted = "refused: the schema declares a numeric bound whose minimum exceeds its maximum";

inline const std::string text = R"({"type":"string","guides":[]})";
inline const std::string integer = R"({"type":"integer","guides":[]})";
inline const std::string boolean = R"({"type":"boolean","guides":[]})";

}  // namespace SchemaTests
