// The reply and probe lines byte for byte, and the error table behind failure lines.
#include "TarnwickApple/Protocol/Wire.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "TarnwickApple/FoundationModels/GenerationSchema.hpp"
#include "TarnwickApple/JSON/JSONValue.hpp"
#include "TarnwickApple/FoundationModels/LanguageModelSession.hpp"
#include "support/ErrorTables.hpp"
#include "support/Printers.hpp"

namespace TarnwickApple {
namespace {

// The checker's line: the plain members first and unchanged, then what an explanation adds.
TEST(CheckLine, PlainAndExplained) {
  CheckLine accepted = CheckLine::accepted(R"({"root":{"type":"boolean","guides":[]},"dependencies":[]})");
  const std::string plain = R"({"status":"ok","schema":{"root":{"type":"boolean","guides":[]},"dependencies":[]}})";
  EXPECT_EQ(accepted.line(), plain + "\n");
  accepted.notes = std::vector<SchemaNote>{{"/a~1b", "format", "ignored", "\"x\"\n"}, {"", "type", "null-dropped", "d"}};
  EXPECT_EQ(accepted.line(), plain.substr(0, plain.size() - 1) +
                                 R"(,"notes":[{"pointer":"/a~1b","keyword":"format","effect":"ignored","detail":"\"x\"\n"},)"
                                 R"({"pointer":"","keyword":"type","effect":"null-dropped","detail":"d"}]})" "\n");
  EXPECT_EQ(accepted.text(), "/a~1b  format  ignored: \"x\"\\n\n(root)  type  null-dropped: d\nok: accepted with 2 notes\n");

  CheckLine refused = CheckLine::refused(Reply::failure(SidecarError::invalidSchema));
  EXPECT_EQ(refused.line(), Reply::failure(SidecarError::invalidSchema).line());
  refused.pointer = "/p";
  refused.reason = "why";
  const std::string failure = Reply::failure(SidecarError::invalidSchema).line();
  EXPECT_EQ(refused.line(), failure.substr(0, failure.size() - 2) + R"(,"pointer":"/p","reason":"why"})" "\n");
  EXPECT_EQ(refused.text(),
            "refused at /p: why (InvalidGenerationSchemaError: the schema does not resolve into a generation schema)\n");
}

// For people every note is one line: whatever could end a line is written as JSON escapes it;
// quotation marks, reverse solidi and other text stay as they are.
TEST(CheckLine, TextKeepsEachNoteOnOneLine) {
  const std::pair<std::string, std::string> table[] = {
      {"a\nb\r\t\b\f", R"(a\nb\r\t\b\f)"},
      {"\x01\x1f\x7f", R"(\u0001\u001f\u007f)"},
      {"\u0085 \u009f \u2028 \u2029", R"(\u0085 \u009f \u2028 \u2029)"},
      {R"("^\d+$" é \u2027 \u00a0 ~)", R"("^\d+$" é \u2027 \u00a0 ~)"},
      {"\u00a0\u2027\u202a", "\u00a0\u2027\u202a"},
  };
  for (const auto& [raw, shown] : table) {
    SCOPED_TRACE(raw);
    CheckLine accepted = CheckLine::accepted("{}");
    accepted.notes = std::vector<SchemaNote>{{"/" + raw, raw, "ignored", raw}};
    EXPECT_EQ(accepted.text(), "/" + shown + "  " + shown + "  ignored: " + shown + "\nok: accepted with 1 note\n");
    CheckLine refused = CheckLine::refused(Reply::failure(ErrorKind::foundationModels, raw));
    refused.pointer = "/" + raw;
    refused.reason = raw;
    EXPECT_EQ(refused.text(), "refused at /" + shown + ": " + shown + " (FoundationModelsError: " + shown + ")\n");
  }
}

// Written in pieces, the line and the text are the same bytes as whole, in more than one piece
// once the notes outgrow a buffer; a refused piece stops the writing and says so.
TEST(CheckLine, PiecesMakeTheSameBytes) {
  CheckLine accepted = CheckLine::accepted(std::string(100000, ' ') + "{}");
  accepted.notes.emplace();
  for (int i = 0; i < 5000; ++i) accepted.notes->push_back({"/p" + std::to_string(i), "required", "listed-but-absent", "\"n\" is required"});
  CheckLine refused = CheckLine::refused(Reply::failure(SidecarError::invalidSchema));
  refused.pointer = "/p";
  refused.reason = "why";
  for (const CheckLine* line : {&accepted, &refused}) {
    for (const bool text : {false, true}) {
      std::vector<std::string> pieces;
      const CheckLine::Sink collect = [&](std::string_view piece) { return pieces.emplace_back(piece), true; };
      ASSERT_TRUE(text ? line->writeText(collect) : line->writeLine(collect));
      std::string joined;
      for (const std::string& piece : pieces) joined += piece;
      EXPECT_EQ(joined, text ? line->text() : line->line());
      EXPECT_EQ(pieces.size() > 2, line == &accepted) << pieces.size();
      int calls = 0;
      const CheckLine::Sink failing = [&](std::string_view) { return ++calls, false; };
      EXPECT_FALSE(text ? line->writeText(failing) : line->writeLine(failing));
      EXPECT_EQ(calls, 1);
    }
  }
}

TEST(ReplyLine, Examples) {
  EXPECT_EQ(Reply::ok("").line(), "{\"status\":\"ok\",\"text\":\"\"}\n");
  EXPECT_EQ(Reply::ok("").line().size(), 26u);
  const std::string malformed = Reply::failure(SidecarError::malformedRequest).line();
  EXPECT_EQ(malformed,
            "{\"status\":\"error\",\"kind\":\"FoundationModelsError\",\"message\":\"the request on stdin could "
            "not be decoded into a sidecar request\"}\n");
  EXPECT_EQ(malformed.size(), 127u);
  const Probe usable{true, std::nullopt};
  const Probe preparing{false, "MODEL_NOT_READY"};
  EXPECT_EQ(usable.line(), "{\"available\":true,\"reason\":null}\n");
  EXPECT_EQ(usable.line().size(), 33u);
  EXPECT_EQ(preparing.line(), "{\"available\":false,\"reason\":\"MODEL_NOT_READY\"}\n");
  EXPECT_EQ(preparing.line().size(), 47u);
}

TEST(ReplyLine, Escaping) {
  const struct {
    std::string text;
    std::string written;
  } cases[] = {
      {"a\"b", "a\\\"b"},
      {"a\\b", "a\\\\b"},
      {"a/b", "a/b"},
      {"\n\r\t\b\f", "\\n\\r\\t\\b\\f"},
      {std::string("\0\x01\x1f", 3), "\\u0000\\u0001\\u001f"},
      {"\x7f", "\x7f"},
      {"caf\xC3\xA9 \xF0\x9F\x98\x80", "caf\xC3\xA9 \xF0\x9F\x98\x80"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Reply::ok(c.text).line(), "{\"status\":\"ok\",\"text\":\"" + c.written + "\"}\n");
  }
}

TEST(ReplyLine, MegabyteTextWrittenWholeOnOneLine) {
  std::string text;
  for (int i = 0; i < (1 << 20) / 4; ++i) text += "a\"\n/";
  const std::string line = Reply::ok(text).line();
  EXPECT_EQ(line.size(), 23 + text.size() + (1 << 20) / 2 + 3);
  EXPECT_EQ(line.find('\n'), line.size() - 1);
}

TEST(ErrorKinds, RawTextsRoundTripExactly) {
  const std::pair<ErrorKind, const char*> table[] = {
      {ErrorKind::exceededContextWindowSize, "ExceededContextWindowSizeError"},
      {ErrorKind::assetsUnavailable, "AssetsUnavailableError"},
      {ErrorKind::guardrailViolation, "GuardrailViolationError"},
      {ErrorKind::unsupportedGuide, "UnsupportedGuideError"},
      {ErrorKind::unsupportedLanguageOrLocale, "UnsupportedLanguageOrLocaleError"},
      {ErrorKind::decodingFailure, "DecodingFailureError"},
      {ErrorKind::rateLimited, "RateLimitedError"},
      {ErrorKind::concurrentRequests, "ConcurrentRequestsError"},
      {ErrorKind::refusal, "RefusalError"},
      {ErrorKind::invalidGenerationSchema, "InvalidGenerationSchemaError"},
      {ErrorKind::generation, "GenerationError"},
      {ErrorKind::foundationModels, "FoundationModelsError"},
  };
  for (const auto& [kind, text] : table) {
    EXPECT_EQ(rawText(kind), text);
    EXPECT_EQ(errorKind(text), kind);
    EXPECT_EQ(Reply::failure(kind, "m").line(),
              std::string("{\"status\":\"error\",\"kind\":\"") + text + "\",\"message\":\"m\"}\n");
  }
  EXPECT_EQ(errorKind("refusal"), std::nullopt);
  EXPECT_EQ(errorKind("refusalerror"), std::nullopt);
  EXPECT_EQ(errorKind("REFUSALERROR"), std::nullopt);
  EXPECT_EQ(errorKind(""), std::nullopt);
}

// The documented reply schema pairs each kind with its messages: exactly the named values.
TEST(ErrorKinds, ReplySchemaDocumentsExactlyTheNamedValues) {
  std::ifstream file(std::string(TARNWICK_TEST_DATA) + "/../../docs/protocol/reply.schema.json");
  ASSERT_TRUE(file) << "the reply schema is readable";
  const JSONValue schema = JSONValue::decode(std::string(std::istreambuf_iterator<char>(file), {}));
  std::set<std::pair<std::string, std::string>> documented;
  for (const JSONValue& row : *(*(*schema["$defs"])["error"])["oneOf"]->arrayValue()) {
    const JSONValue& members = *row["properties"];
    const std::string kind(*(*members["kind"])["const"]->stringValue());
    for (const JSONValue& message : *(*members["message"])["enum"]->arrayValue()) {
      documented.emplace(kind, std::string(*message.stringValue()));
    }
  }
  std::set<std::pair<std::string, std::string>> named;
  for (const SidecarError* error : SidecarError::all()) {
    named.emplace(std::string(rawText(error->kind())), std::string(error->message()));
  }
  EXPECT_EQ(SidecarError::all().size(), 21u);
  EXPECT_EQ(named.size(), SidecarError::all().size()) << "two named values share kind and message";
  EXPECT_EQ(documented, named);
}

TEST(SidecarErrorResolve, OursUnchangedOthersMapped) {
  using GE = FoundationModels::LanguageModelSession::GenerationError;
  const auto resolved = [](auto failure) { return SidecarError::resolve(std::make_exception_ptr(failure)); };
  EXPECT_EQ(resolved(SidecarError::invertedBounds), SidecarError::invertedBounds);
  EXPECT_EQ(resolved(FoundationModels::GenerationSchema::SchemaError(
                FoundationModels::GenerationSchema::SchemaError::Case::duplicateType)),
            SidecarError::invalidSchema);
  for (const auto& [kind, expected] : generationFailureTable()) EXPECT_EQ(resolved(GE(kind, {"detail"})), *expected);
  EXPECT_EQ(resolved(std::runtime_error("x")), SidecarError::unknown);
  EXPECT_EQ(resolved(std::bad_alloc()), SidecarError::unknown);
  EXPECT_EQ(resolved(42), SidecarError::unknown);
  EXPECT_EQ(SidecarError::resolve(nullptr), SidecarError::unknown);
  EXPECT_EQ(SidecarError::generation.message(), "on-device generation failed");
  EXPECT_EQ(SidecarError::unknown.message(), "the Foundation Models framework reported an error");
  EXPECT_EQ(SidecarError::unknown.kind(), ErrorKind::foundationModels);
}

}  // namespace
}  // namespace TarnwickApple
