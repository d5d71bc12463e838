// Hostile bytes in the request text through the executable: ill-formed UTF-8 anywhere, surrogate
// escapes, NUL bytes, byte-order marks, CR LF line ends and absurd number literals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Hostile.hpp"
#include "TarnwickApple/JSON/JSONValue.hpp"

namespace {

using namespace Hostile;
using TarnwickApple::JSONValue;

// Sequences no well-formed UTF-8 text contains.
const std::vector<std::string> illFormed = {
    "\xFF", "\xFE", "\x80", "\xBF",                          // bytes that never occur, lone continuations
    "\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF", "\xF0\x80\x80\xAF",  // overlong encodings ("/" and U+007F)
    "\xE0\x9F\xBF",                                           // overlong U+07FF
    "\xED\xA0\x80", "\xED\xBF\xBF", "\xED\xA0\xBD\xED\xB8\x80",   // surrogates encoded directly
    "\xF4\x90\x80\x80", "\xF7\xBF\xBF\xBF",                   // above U+10FFFF
    "\xF8\x88\x80\x80\x80", "\xFC\x84\x80\x80\x80\x80",       // five- and six-byte forms
    "\xC3", "\xE2\x82", "\xF0\x9F\x98",                       // truncated sequences
    "\xC3\x28", "\xE2\x28\xA1",                                // a lead byte without its continuation
};

// Places in a request where a string sits: `%` marks the spot.
const std::vector<std::string> stringPlaces = {
    request("\"%\""),
    request("\"p\"", ",\"instructions\":\"%\""),
    request("\"p\"", ",\"%\":1"),
    request("\"p\"", ",\"ignored\":[\"%\"]"),
    request("\"p\"", ",\"options\":{\"%\":true}"),
    withSchema(R"({"type":"string","pattern":"^a%b$"})"),
    withSchema(R"({"type":"string","const":"%"})"),
    withSchema(R"({"type":"object","properties":{"%":{"type":"string"}}})"),
    withSchema(R"({"enum":["a","%"]})"),
    withSchema(R"({"type":"string","description":"%"})"),
    withSchema(R"({"$defs":{"%":{"type":"string"}},"type":"string"})"),
};

std::string placed(const std::string& place, const std::string& bytes) {
  std::string text = place;
  text.replace(text.find('%'), 1, bytes);
  return text;
}

// The reply line's "text", decoded.
std::string replyText(const Subprocess::Result& result) {
  const JSONValue line = JSONValue::decode(result.out);
  EXPECT_EQ(*line["status"]->stringValue(), "ok") << result.out;
  return std::string(*line["text"]->stringValue());
}

// A few of them stand for all in the places other than the prompt.
const std::vector<std::string> illFormedSample = {"\xFF", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82"};

TEST(HostileEncoding, IllFormedUTF8AnywhereIsMalformed) {
  for (const std::string& bytes : illFormed) {
    SCOPED_TRACE(bytes);
    expectLine(Subprocess::run(sidecar(), {}, placed(stringPlaces.front(), bytes)), malformedLine);
  }
  for (const std::string& place : stringPlaces) {
    // Each place with plain text there is answered: only the bytes make it malformed.
    const auto plain = Subprocess::run(sidecar(), {}, placed(place, "x"));
    expectOneLine(plain);
    EXPECT_EQ(plain.out.rfind("{\"status\":\"ok\"", 0), 0u) << placed(place, "x") << " gave " << plain.out;
    for (const std::string& bytes : illFormedSample) {
      SCOPED_TRACE(placed(place, bytes));
      expectLine(Subprocess::run(sidecar(), {}, placed(place, bytes)), malformedLine);
    }
  }
  // Outside any string, too.
  for (const std::string& bytes : {std::string("\xFF"), std::string("\xC0\xA0"), std::string("\xC2\xA0")}) {
    expectLine(Subprocess::run(sidecar(), {}, bytes + request("\"p\"")), malformedLine);
    expectLine(Subprocess::run(sidecar(), {}, request("\"p\"") + bytes), malformedLine);
    expectLine(Subprocess::run(sidecar(), {}, "{" + bytes + request("\"p\"").substr(1)), malformedLine);
  }
}

TEST(HostileEncoding, EdgesOfWellFormedUTF8AreEchoedByteExact) {
  const std::string edges = "\x7F" "\xC2\x80" "\xDF\xBF" "\xE0\xA0\x80" "\xED\x9F\xBF" "\xEE\x80\x80" "\xEF\xBF\xBF"
                            "\xF0\x90\x80\x80" "\xF4\x8F\xBF\xBF" "\xEF\xBB\xBF";
  expectLine(Subprocess::run(sidecar(), {}, request("\"" + edges + "\"")),
             "{\"status\":\"ok\",\"text\":\"" + edges + "\"}\n");
}

TEST(HostileEncoding, SurrogateEscapes) {
  // Lone, reversed, doubled or broken pairs are unreadable wherever they sit.
  for (const std::string escape : {"\\ud800", "\\uDBFF", "\\udc00", "\\uDFFF", "\\udc00\\ud800", "\\ud800\\ud800",
                                   "\\ud800x", "\\ud800\\u0041", "\\ud800\\n", "\\udbff\\ue000", "\\ud83d\\u"}) {
    for (const std::string& place : {stringPlaces[0], stringPlaces[2], stringPlaces[5], stringPlaces[7]}) {
      SCOPED_TRACE(placed(place, escape));
      expectLine(Subprocess::run(sidecar(), {}, placed(place, escape)), malformedLine);
    }
  }
  // A proper pair, in either letter case, is the one scalar, written back as UTF-8.
  expectLine(Subprocess::run(sidecar(), {}, request(R"("\ud83d\ude00\uD83D\uDE00\udbff\udfff")")),
             "{\"status\":\"ok\",\"text\":\"\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF\"}\n");
}

TEST(HostileEncoding, NulBytes) {
  // A raw NUL is no JSON anywhere: in a string, between tokens, before or after the document.
  const std::string good = request("\"p\"");
  for (const std::string& input : {request(std::string("\"a\0b\"", 5)), std::string("\0", 1) + good,
                                   good + std::string("\0", 1), std::string("{\0", 2) + good.substr(1),
                                   std::string("\0\0\0\0", 4)}) {
    expectLine(Subprocess::run(sidecar(), {}, input), malformedLine);
  }
  // An escaped NUL is text: kept in the prompt and written back escaped, wherever it sits.
  expectLine(Subprocess::run(sidecar(), {}, request(R"("\u0000")")), "{\"status\":\"ok\",\"text\":\"\\u0000\"}\n");
  expectLine(Subprocess::run(sidecar(), {}, request(R"("a\u0000b\u0000")", R"(,"instructions":"\u0000")")),
             "{\"status\":\"ok\",\"text\":\"a\\u0000b\\u0000\"}\n");
  // In a constant it reaches the structured answer intact.
  const auto constant = Subprocess::run(sidecar(), {}, withSchema(R"({"type":"string","const":"a\u0000b"})"));
  expectOneLine(constant);
  EXPECT_EQ(JSONValue::decode(replyText(constant)), JSONValue::string(std::string("a\0b", 3)));
  // In a pattern it is one more literal for the regex engine, never a cut-off C string.
  const auto pattern = Subprocess::run(sidecar(), {}, withSchema(R"({"type":"string","pattern":"^x\u0000y$"})"));
  expectOneLine(pattern);
  EXPECT_EQ(JSONValue::decode(replyText(pattern)), JSONValue::string(std::string("x\0y", 3)));
}

TEST(HostileEncoding, ByteOrderMarks) {
  const std::string bom = "\xEF\xBB\xBF";
  const std::string good = request("\"p\"");
  const std::string okLine = "{\"status\":\"ok\",\"text\":\"p\"}\n";
  expectLine(Subprocess::run(sidecar(), {}, bom + good), okLine);
  expectLine(Subprocess::run(sidecar(), {}, bom + " \r\n" + good), okLine);
  // Only one mark, and only in front; UTF-16 and UTF-32 marks are not UTF-8.
  for (const std::string& input : {bom + bom + good, good + bom, " " + bom + good, "\xFF\xFE" + good,
                                   "\xFE\xFF" + good, std::string("\xFF\xFE\0\0", 4) + good, bom}) {
    expectLine(Subprocess::run(sidecar(), {}, input), malformedLine);
  }
  // Inside a string it is an ordinary character.
  expectLine(Subprocess::run(sidecar(), {}, request("\"" + bom + "p\\ufeff\"")),
             "{\"status\":\"ok\",\"text\":\"" + bom + "p" + bom + "\"}\n");
}

TEST(HostileEncoding, CarriageReturnsAndLineEnds) {
  const std::string crlf = "{\r\n\"prompt\" :\r\n\"p\",\r\n\"use_case\":\"general\",\r\n\"guardrails\":\"default\"\r\n}\r\n";
  expectLine(Subprocess::run(sidecar(), {}, crlf), "{\"status\":\"ok\",\"text\":\"p\"}\n");
  // Escaped line ends come back escaped, so the reply stays one line.
  expectLine(Subprocess::run(sidecar(), {}, request(R"("a\r\nb\rc\n\u2028")")),
             "{\"status\":\"ok\",\"text\":\"a\\r\\nb\\rc\\n\xE2\x80\xA8\"}\n");
  // Raw control characters inside a string are no JSON.
  for (const std::string raw : {"a\r\nb", "a\rb", "a\nb", "a\tb", "\x1F", "\x7F\x01"}) {
    expectLine(Subprocess::run(sidecar(), {}, request("\"" + raw + "\"")), malformedLine);
  }
}

TEST(HostileEncoding, AbsurdNumberLiterals) {
  const std::string tenThousandDigits = "1" + std::string(9999, '0');
  const auto withOptions = [](const std::string& options) {
    return request("\"p\"", ",\"options\":" + options);
  };
  // Literals no 64-bit float holds, claimed exponents of 4 GB and beyond, and integers of
  // 10,000 digits make the document unreadable, even in a member nobody reads.
  for (const std::string& input : {
           withOptions(R"({"temperature":1e4294967296})"), withOptions(R"({"temperature":-1e4294967296})"),
           withOptions(R"({"temperature":1e18446744073709551616})"), withOptions(R"({"temperature":1e400})"),
           withOptions("{\"temperature\":" + tenThousandDigits + "}"),
           withOptions("{\"maximum_response_tokens\":" + tenThousandDigits + "}"),
           withOptions("{\"sampling\":{\"mode\":\"random\",\"seed\":" + tenThousandDigits + "}}"),
           request("\"p\"", ",\"ignored\":-" + tenThousandDigits),
           withSchema("{\"type\":\"integer\",\"minimum\":" + tenThousandDigits + "}"),
           withOptions(R"({"temperature":1e})"), withOptions(R"({"temperature":01})"),
           withOptions(R"({"temperature":.5})"), withOptions(R"({"temperature":1.})"),
       }) {
    SCOPED_TRACE(input.substr(0, 100));
    expectLine(Subprocess::run(sidecar(), {}, input), malformedLine);
  }
  // Long spellings of ordinary values read as those values.
  const std::string okLine = "{\"status\":\"ok\",\"text\":\"p\"}\n";
  for (const std::string& input : {
           withOptions(R"({"temperature":1e-4294967296})"),
           withOptions("{\"temperature\":0." + std::string(10000, '3') + "}"),
           withOptions("{\"temperature\":1e" + std::string(10000, '0') + "1}"),
           withOptions("{\"maximum_response_tokens\":" + std::string(10000, '0').insert(0, "1.") + "}"),
           request("\"p\"", ",\"ignored\":" + std::string(10000, '9').insert(1, ".")),
       }) {
    SCOPED_TRACE(input.substr(0, 100));
    expectLine(Subprocess::run(sidecar(), {}, input), okLine);
  }
}

TEST(HostileEncoding, ClustersThatHideSyntaxDropThePatternGuide) {
  // A combining mark after "[" or "^", or a prepended mark before "(", makes one user-perceived
  // character that the regex engine would still read as syntax: the pattern guide is left out.
  const std::string unguided = "{\"status\":\"ok\",\"schema\":{\"root\":{\"type\":\"string\",\"guides\":[]},"
                               "\"dependencies\":[]}}\n";
  for (const std::string pattern : {"[\\u0301a]", "^\\u0301x", "\\u0600(a)", "a\\\\\\u0301", "x{\\u0301}"}) {
    SCOPED_TRACE(pattern);
    expectLine(Subprocess::run(schemaChecker(), {}, "{\"type\":\"string\",\"pattern\":\"" + pattern + "\"}"), unguided);
  }
  // A mark on an ordinary character is just part of that literal.
  expectLine(Subprocess::run(schemaChecker(), {}, R"({"type":"string","pattern":"^e\u0301+$"})"),
             "{\"status\":\"ok\",\"schema\":{\"root\":{\"type\":\"string\",\"guides\":[{\"pattern\":\"e\xCC\x81+\"}]},"
             "\"dependencies\":[]}}\n");
}

}  // namespace
