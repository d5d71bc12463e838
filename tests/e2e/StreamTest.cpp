// Conversations and streamed answers as a parent sees them: partial lines before a final line
// that is byte for byte the unstreamed one, a bound on partial bytes, a parent that goes away,
// earlier turns against the context window, and every malformed turn named by the checker.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TarnwickApple/JSON/JSONValue.hpp"
#include "support/Expectations.hpp"
#include "support/Subprocess.hpp"

namespace {

using TarnwickApple::JSONValue;

std::string request(const std::string& prompt, const std::string& extra = "") {
  return R"({"prompt":)" + prompt + R"(,"use_case":"general","guardrails":"default")" + extra + "}";
}

std::vector<std::string> lines(const std::string& out) {
  std::vector<std::string> result;
  for (std::size_t start = 0; start < out.size();) {
    const std::size_t end = out.find('\n', start);
    result.push_back(out.substr(start, end == std::string::npos ? std::string::npos : end + 1 - start));
    start = end == std::string::npos ? out.size() : end + 1;
  }
  return result;
}

// The text of a partial line; fails the test when the line is not exactly one.
std::string partialText(const std::string& line) {
  const JSONValue value = JSONValue::decode(line);
  const JSONValue* status = value["status"];
  const JSONValue* text = value["text"];
  EXPECT_TRUE(status != nullptr && status->stringValue() && *status->stringValue() == "partial") << line;
  EXPECT_EQ(value.objectValue()->size(), 2u) << line;
  return text != nullptr && text->stringValue() ? std::string(*text->stringValue()) : std::string();
}

// Streamed, `body` gives partial lines and then exactly the line it gives unstreamed.
std::vector<std::string> expectStreamedLikePlain(const std::string& sidecar, const std::string& prompt,
                                                 const std::string& extra) {
  const Subprocess::Result plain = Subprocess::run(sidecar, {}, request(prompt, extra));
  const Subprocess::Result plainFalse = Subprocess::run(sidecar, {}, request(prompt, extra + R"(,"stream":false)"));
  const Subprocess::Result streamed = Subprocess::run(sidecar, {}, request(prompt, extra + R"(,"stream":true)"));
  expectCleanExit(plain, 0);
  expectLine(plainFalse, plain.out);
  expectCleanExit(streamed, 0);
  const std::vector<std::string> all = lines(streamed.out);
  EXPECT_FALSE(all.empty());
  if (all.empty()) return {};
  EXPECT_EQ(all.back(), plain.out);
  std::vector<std::string> partials;
  for (std::size_t i = 0; i + 1 < all.size(); ++i) partials.push_back(partialText(all[i]));
  return partials;
}

TEST(StreamedAnswer, PlainSnapshotsArePrefixesThatGrow) {
  const std::string sentence = "The quick brown fox jumps over the lazy dog; \\u00e9t\\u00e9 \\ud83d\\ude00 and tabs\\t.";
  struct Case {
    std::string prompt, extra;
    std::size_t minimumPartials;
  };
  const Case table[] = {
      {"\"" + sentence + "\"", "", 3},
      {"\"" + sentence + "\"", R"(,"instructions":"Be brief.","history":[{"role":"user","text":"hi"},{"role":"assistant","text":"hello"}])", 3},
      {"\"" + sentence + "\"", R"(,"options":{"maximum_response_tokens":3})", 1},
      {"\"one\"", "", 0},  // a single token: the final line alone
      {"\"\"", "", 0},
  };
  for (const Case& c : table) {
    SCOPED_TRACE(c.prompt + c.extra);
    const std::vector<std::string> partials = expectStreamedLikePlain(Subprocess::sidecarUnderTest(), c.prompt, c.extra);
    EXPECT_GE(partials.size(), c.minimumPartials);
    const std::string final(*JSONValue::decode(lines(Subprocess::run(Subprocess::sidecarUnderTest(), {},
                                                                       request(c.prompt, c.extra)).out)[0])["text"]->stringValue());
    std::size_t previous = 0;
    for (const std::string& text : partials) {
      EXPECT_GT(text.size(), previous);
      EXPECT_LT(text.size(), final.size());
      EXPECT_EQ(final.compare(0, text.size(), text), 0) << text;
      previous = text.size();
    }
  }
}

TEST(StreamedAnswer, StructuredSnapshotsAreJSONOfTheAnswerSoFar) {
  const std::string schemas[] = {
      R"({"type":"object","properties":{"name":{"type":"string","pattern":"^[a-z\\\\\"\u00e9]{12}$"},"tags":{"type":"array","items":{"type":"string","const":"t\"\\n"},"minItems":4},"n":{"type":"integer"},"inner":{"type":"object","properties":{"ok":{"type":"boolean"},"x":{"type":"number"}},"required":["ok","x"]}},"required":["name","tags","n","inner"]})",
      R"({"type":"array","items":{"type":"array","items":{"type":"integer","minimum":1000},"minItems":2},"minItems":3})",
  };
  for (const std::string& schema : schemas) {
    SCOPED_TRACE(schema);
    const std::vector<std::string> partials =
        expectStreamedLikePlain(Subprocess::sidecarUnderTest(), "\"x\"", R"(,"schema":)" + schema);
    EXPECT_GE(partials.size(), 3u);
    for (const std::string& text : partials) {
      EXPECT_NO_THROW(JSONValue::decode(text)) << text;
    }
  }
}

TEST(StreamedAnswer, PartialBytesStayUnderTwiceTheFinalText) {
  // Without a window the echo can be a megabyte long: a snapshot per token would write ~10^11
  // bytes; paced snapshots write less than the answer twice over, in about log2(size) lines.
  std::string words;
  while (words.size() < (std::size_t{1} << 20)) words += "word ";
  const Subprocess::Result streamed =
      Subprocess::run(Subprocess::testSidecarPath("echo"), {}, request("\"" + words + "\"", R"(,"stream":true)"));
  expectCleanExit(streamed, 0);
  const std::vector<std::string> all = lines(streamed.out);
  ASSERT_GE(all.size(), 2u);
  std::size_t partialBytes = 0;
  for (std::size_t i = 0; i + 1 < all.size(); ++i) partialBytes += partialText(all[i]).size();
  EXPECT_LT(partialBytes, 2 * words.size());
  EXPECT_LE(all.size() - 1, 22u);
  EXPECT_EQ(all.back(), "{\"status\":\"ok\",\"text\":\"" + words + "\"}\n");
}

TEST(StreamedAnswer, ParentGoneStopsWithStatusThreeAndSilence) {
  const std::string streamed = request("\"a b c d e f g h\"", R"(,"stream":true)");
  const Subprocess::Output outputs[] = {Subprocess::Output::closed(), Subprocess::Output::fullPipe(),
                                        Subprocess::Output::toFile("/dev/full")};
  for (const Subprocess::Output& output : outputs) {
    const Subprocess::Result result =
        Subprocess::run(Subprocess::sidecarUnderTest(), {}, Subprocess::Input::fromBytes(streamed), output);
    expectCleanExit(result, 3);
  }
}

TEST(Conversation, EarlierTurnsTakeTheirRoomInTheWindow) {
  // 1,000 tokens a turn ("abcd " is one token); the prompt echoed takes 2 x 40 tokens.
  std::string turnText;
  for (int i = 0; i < 1000; ++i) turnText += "abcd ";
  const auto turns = [&](int count) {
    std::string history = R"(,"history":[)";
    for (int i = 0; i < count; ++i) {
      history += std::string(i == 0 ? "" : ",") + R"({"role":")" + (i % 2 == 0 ? "user" : "assistant") +
                 R"(","text":")" + turnText + "\"}";
    }
    return history + "]";
  };
  std::string prompt = "\"";
  for (int i = 0; i < 40; ++i) prompt += "abcd ";
  prompt += "\"";
  const std::string exceeded =
      "{\"status\":\"error\",\"kind\":\"ExceededContextWindowSizeError\",\"message\":\"the prompt and response "
      "exceeded the model's context window\"}\n";
  const std::string sidecar = Subprocess::sidecarUnderTest();
  const std::string answer = Subprocess::run(sidecar, {}, request(prompt)).out;
  expectLine(Subprocess::run(sidecar, {}, request(prompt, turns(4))), answer);
  expectLine(Subprocess::run(sidecar, {}, request(prompt, turns(5))), exceeded);
  expectLine(Subprocess::run(sidecar, {}, request(prompt, turns(5) + R"(,"stream":true)")), exceeded);
  // Structured answers count the same turns.
  const std::string schema = R"(,"schema":{"type":"object","properties":{"a":{"type":"boolean"}}})";
  expectLine(Subprocess::run(sidecar, {}, request(prompt, turns(3) + schema)),
             Subprocess::run(sidecar, {}, request(prompt, schema)).out);
  expectLine(Subprocess::run(sidecar, {}, request(prompt, turns(5) + schema)), exceeded);
}

TEST(Conversation, MalformedMembersAreNamedByTheChecker) {
  const std::string malformed =
      R"({"status":"error","kind":"FoundationModelsError","message":"the request on stdin could not be decoded into a sidecar request")";
  const std::pair<std::string, std::string> table[] = {
      {R"(,"history":{})", R"("pointer":"/history","reason":"an object is not an array")"},
      {R"(,"history":"earlier")", R"("pointer":"/history","reason":"\"earlier\" is not an array")"},
      {R"(,"history":[{"role":"user","text":"a"},3])", R"("pointer":"/history/1","reason":"3 is not an object")"},
      {R"(,"history":[{"role":"user","text":"a"},{"role":"user","text":"b"},{"role":"system","text":"c"}])",
       R"("pointer":"/history/2/role","reason":"\"system\" is not one of \"user\", \"assistant\"")"},
      {R"(,"history":[{"role":"User","text":"a"}])", R"("pointer":"/history/0/role","reason":"\"User\" is not one of \"user\", \"assistant\"")"},
      {R"(,"history":[{"text":"a"}])", R"("pointer":"/history/0/role","reason":"missing")"},
      {R"(,"history":[{"role":"user"}])", R"("pointer":"/history/0/text","reason":"missing")"},
      {R"(,"history":[{"role":"user","text":["a"]}])", R"("pointer":"/history/0/text","reason":"an array is not a string")"},
      {R"(,"stream":1)", R"("pointer":"/stream","reason":"1 is not a boolean")"},
      {R"(,"stream":"true")", R"("pointer":"/stream","reason":"\"true\" is not a boolean")"},
  };
  for (const auto& [extra, tail] : table) {
    SCOPED_TRACE(extra);
    expectLine(Subprocess::run(Subprocess::sidecarUnderTest(), {}, request("\"p\"", extra)), malformed + "}\n");
    expectLine(Subprocess::run(Subprocess::binaryPath("tarnwick_apple_schema"), {"--request"}, request("\"p\"", extra)),
               malformed + "," + tail + "}\n", 1);
  }
  // Absent, null and empty all mean none; a stream of false or null is no stream.
  const std::string answer = Subprocess::run(Subprocess::sidecarUnderTest(), {}, request("\"p q\"")).out;
  for (const std::string extra : {R"(,"history":null)", R"(,"history":[])", R"(,"stream":null)", R"(,"stream":false)"}) {
    SCOPED_TRACE(extra);
    expectLine(Subprocess::run(Subprocess::sidecarUnderTest(), {}, request("\"p q\"", extra)), answer);
  }
}

}  // namespace
