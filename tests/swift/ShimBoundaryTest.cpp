// The Swift shim through its C functions, over the stand-in framework with a backend registered
// here: the request each respond writes back, the failure names, availability codes, ownership.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "TarnwickApple/Engines/Framework/FrameworkBoundary.h"

extern "C" void tarnwick_standin_register(int32_t (*availability)(void),
                                          char* (*respond)(const char*, size_t, size_t*),
                                          void (*release)(char*));

namespace {

// What the backend does for the case under test: answer with the request it was given, as
// text, or with a fixed document (nothing: a null answer).
struct Backend {
  int32_t availability = 0;
  bool echo = true;
  std::optional<std::string> answer;
  int calls = 0;
  int outstanding = 0;  // answers handed to the stand-in and not yet released
};
Backend backend;

char* copyOut(const std::string& text, size_t* length) {
  char* out = static_cast<char*>(std::malloc(text.size() + 1));
  std::memcpy(out, text.c_str(), text.size() + 1);
  *length = text.size();
  ++backend.outstanding;
  return out;
}

int32_t backendAvailability() { return backend.availability; }

char* backendRespond(const char* request, size_t length, size_t* answerLength) {
  ++backend.calls;
  if (backend.echo) {
    return copyOut(nlohmann::json{{"version", 1}, {"text", std::string(request, length)}}.dump(), answerLength);
  }
  if (!backend.answer) return nullptr;
  return copyOut(*backend.answer, answerLength);
}

void backendRelease(char* answer) {
  if (answer) --backend.outstanding;
  std::free(answer);
}

class Shim : public testing::Test {
 protected:
  void SetUp() override {
    backend = Backend{};
    tarnwick_standin_register(backendAvailability, backendRespond, backendRelease);
  }
  void TearDown() override { EXPECT_EQ(backend.outstanding, 0) << "the stand-in kept a backend answer"; }

  // The shim's answer document for `request`, checked for its length and terminating NUL.
  static std::string respond(const std::string& request) {
    size_t length = 12345;
    char* answer = tarnwick_fm_respond(request.data(), request.size(), &length);
    EXPECT_NE(answer, nullptr);
    if (!answer) return "";
    EXPECT_EQ(answer[length], '\0');
    EXPECT_EQ(std::strlen(answer), length);
    std::string text(answer, length);
    tarnwick_fm_free(answer);
    return text;
  }

  // The request document the stand-in wrote for its backend.
  static std::string rewritten(const std::string& request) {
    const auto answer = nlohmann::json::parse(respond(request), nullptr, false);
    if (!answer.is_object() || !answer.contains("text")) return "no text in: " + answer.dump();
    return answer["text"].get<std::string>();
  }
};

const std::string other = R"({"version":1,"failure":"other"})";

std::string plain(const std::string& options) {
  return R"({"version":1,"use_case":"general","guardrails":"default","prompt":"Name three birds.","options":)" +
         options + "}";
}

std::string structured(const std::string& root, const std::string& dependencies = "") {
  return R"({"version":1,"use_case":"general","guardrails":"default","prompt":"A bird.","options":{},"schema":{"root":)" +
         root + R"(,"dependencies":[)" + dependencies + R"(]},"include_schema_in_prompt":true})";
}

std::string scalar(const std::string& type, const std::string& guides) {
  return R"({"type":")" + type + R"(","guides":[)" + guides + "]}";
}

struct Rewrite {
  std::string request;
  std::string expected;  // empty: the request itself
};

void expectRewrites(const std::vector<Rewrite>& cases, const std::function<std::string(const std::string&)>& run) {
  for (const Rewrite& c : cases) {
    EXPECT_EQ(run(c.request), c.expected.empty() ? c.request : c.expected) << c.request;
  }
}

TEST_F(Shim, SessionAndOptionsReachTheFrameworkWhole) {
  expectRewrites(
      {
          {plain("{}"), ""},
          {R"({"version":1,"use_case":"content_tagging","guardrails":"permissive_content_transformations","instructions":"Be brief.\n\"Really\" \u0001","prompt":"d\u00e9j\u00e0 \ud83d\udc26","options":{}})",
           "{\"version\":1,\"use_case\":\"content_tagging\",\"guardrails\":\"permissive_content_transformations\","
           "\"instructions\":\"Be brief.\\n\\\"Really\\\" \\u0001\",\"prompt\":\"d\xC3\xA9j\xC3\xA0 \xF0\x9F\x90\xA6\",\"options\":{}}"},
          {plain(R"({"sampling":{"mode":"greedy"}})"), ""},
          {plain(R"({"sampling":{"mode":"random_top","top":40,"seed":18446744073709551615},"temperature":0.7})"), ""},
          {plain(R"({"sampling":{"mode":"random_top","top":-9223372036854775808}})"), ""},
          {plain(R"({"sampling":{"mode":"random_probability_threshold","probability_threshold":0.1,"seed":0}})"), ""},
          {plain(R"({"sampling":{"mode":"random_probability_threshold","probability_threshold":1e-300}})"), ""},
          {plain(R"({"temperature":1.7976931348623157e+308,"maximum_response_tokens":9223372036854775807})"), ""},
          {plain(R"({"temperature":-0.0,"maximum_response_tokens":-1})"), ""},
          {plain(R"({"temperature":2.0})"), ""},
      },
      rewritten);
}

TEST_F(Shim, SchemaTreeIsRebuiltNodeForNode) {
  const std::string object =
      R"({"name":"Bird","description":"A bird.","properties":[{"name":"name","description":null,"optional":false,"schema":)" +
      scalar("string", "") + R"(},{"name":"kind","description":"its kind","optional":true,"schema":{"ref":"Kind"}}]})";
  const std::string kind = R"({"name":"Kind","description":null,"choices":["owl","wren",""]})";
  expectRewrites(
      {
          {structured(object, kind), ""},
          {structured(R"({"name":"U","description":null,"anyOf":[)" + scalar("boolean", "") + "," + kind + "]}"), ""},
          {structured(R"({"arrayOf":)" + scalar("number", "") + R"(,"minimumElements":null,"maximumElements":null})"), ""},
          {structured(R"({"arrayOf":{"ref":"Kind"},"minimumElements":0,"maximumElements":9223372036854775807})", kind), ""},
          {structured(R"({"name":"Empty","description":null,"properties":[]})"), ""},
          {structured(scalar("string", R"({"constant":"a\"b"})")), ""},
          {structured(scalar("string", R"({"pattern":"\\d{3}-\\d{4}"},{"pattern":"(?:ab)|c\\.\\w+"})")), ""},
          {structured(scalar("integer", R"({"minimum":-9223372036854775808},{"maximum":9223372036854775807},{"range":[-1,1]})")), ""},
          {structured(scalar("number", R"({"minimum":-1.5},{"maximum":1e-05},{"range":[0.0,2.5]})")), ""},
      },
      rewritten);
}

TEST_F(Shim, GuidesTheFrameworkCannotTakeAsWritten) {
  expectRewrites(
      {
          // An integer minimum rounds up, a maximum down; a range left empty keeps its two ends.
          {structured(scalar("integer", R"({"minimum":1.5},{"maximum":-1.5},{"range":[0.5,2.5]})")),
           structured(scalar("integer", R"({"minimum":2},{"maximum":-2},{"range":[1,2]})"))},
          {structured(scalar("integer", R"({"range":[1.2,1.8]},{"range":[5,3]})")),
           structured(scalar("integer", R"({"minimum":2},{"maximum":1},{"minimum":5},{"maximum":3})"))},
          // Bounds beyond every Int allow nothing: said as the largest minimum over the smallest maximum.
          {structured(scalar("integer", R"({"minimum":1e300})")),
           structured(scalar("integer", R"({"minimum":9223372036854775807},{"maximum":-9223372036854775808})"))},
          {structured(scalar("integer", R"({"maximum":-1e300})")),
           structured(scalar("integer", R"({"minimum":9223372036854775807},{"maximum":-9223372036854775808})"))},
          {structured(scalar("integer", R"({"minimum":-1e300},{"maximum":1e300})")),
           structured(scalar("integer", R"({"minimum":-9223372036854775808},{"maximum":9223372036854775807})"))},
          // An inverted number range cannot be a ClosedRange: its two ends say the same.
          {structured(scalar("number", R"({"range":[2.5,-1]})")),
           structured(scalar("number", R"({"minimum":2.5},{"maximum":-1.0})"))},
          {structured(scalar("number", R"({"minimum":3})")), structured(scalar("number", R"({"minimum":3.0})"))},
          // A pattern Swift's Regex refuses is dropped; an accepted one comes back as Swift prints it.
          {structured(scalar("string", R"({"pattern":"x{5,3}"},{"pattern":"(?:"},{"constant":"k"})")),
           structured(scalar("string", R"({"constant":"k"})"))},
          {structured(scalar("string", R"({"pattern":"a}"})")), structured(scalar("string", R"({"pattern":"a\\}"})"))},
          // Guides of another type are not the scalar's.
          {structured(scalar("boolean", R"({"constant":"x"},{"minimum":1})")), structured(scalar("boolean", ""))},
      },
      rewritten);
}

// GenerationSchema(root:dependencies:) throws when it is built, so a schema the framework refuses
// never reaches a generation; a reference may name a type defined anywhere in the trees.
TEST_F(Shim, SchemasThatDoNotAssembleFailBeforeAGeneration) {
  const auto object = [](const std::string& name, const std::string& properties) {
    return R"({"name":")" + name + R"(","description":null,"properties":[)" + properties + "]}";
  };
  const auto property = [](const std::string& name, const std::string& schema) {
    return R"({"name":")" + name + R"(","description":null,"optional":false,"schema":)" + schema + "}";
  };
  const std::string text = scalar("string", "");
  const std::string inner = object("Inner", property("a", text));
  for (const std::string& request : {
           structured(R"({"name":"S","description":null,"anyOf":[]})"),
           structured(R"({"name":"S","description":null,"choices":[]})"),
           structured(object("Bird", ""), object("Bird", "")),
           structured(object("Bird", property("a", object("Bird", "")))),
           // Names are compared as Unicode text: "Café" precomposed and decomposed are one name.
           structured(object("Caf\u00e9", ""), object("Cafe\u0301", "")),
           structured(object("Bird", property("wing", text) + "," + property("wing", text))),
           structured(object("Bird", property("a", R"({"ref":"Missing"})"))),
           structured(R"({"arrayOf":{"ref":"Kind"},"minimumElements":null,"maximumElements":null})"),
       }) {
    EXPECT_EQ(respond(request), R"({"version":1,"failure":"schema"})") << request;
  }
  EXPECT_EQ(backend.calls, 0);
  const std::string nested = structured(object("Bird", property("a", inner) + "," + property("b", R"({"ref":"Inner"})")));
  EXPECT_EQ(rewritten(nested), nested);
}

TEST_F(Shim, UnreadableRequestsFailAsOtherWithoutAGeneration) {
  const std::string sampling = R"({"version":1,"use_case":"general","guardrails":"default","prompt":"p","options":{"sampling":)";
  for (const std::string& request : {
           std::string(""), std::string("garbage"), std::string("[]"), std::string("{\"version\":1}"),
           std::string(R"({"version":2,"use_case":"general","guardrails":"default","prompt":"p","options":{}})"),
           std::string(R"({"version":1,"use_case":"General","guardrails":"default","prompt":"p","options":{}})"),
           std::string(R"({"version":1,"use_case":"general","guardrails":"none","prompt":"p","options":{}})"),
           std::string(R"({"version":1,"use_case":"general","guardrails":"default","prompt":7,"options":{}})"),
           std::string(R"({"version":1,"use_case":"general","guardrails":"default","prompt":"p"})"),
           sampling + R"({"mode":"random"}}})", sampling + R"({"mode":"random_top"}}})",
           sampling + R"({"mode":"random_probability_threshold","top":3}}})",
           sampling + R"({"mode":"random_top","top":1,"seed":18446744073709551616}}})",
           sampling + R"({"mode":"random_top","top":1,"seed":-1}}})",
           std::string(R"({"version":1,"use_case":"general","guardrails":"default","prompt":"p","options":{},"schema":{"root":{"type":"string","guides":[]},"dependencies":[]}})"),
           plain("{}").replace(plain("{}").size() - 1, 1, R"(,"include_schema_in_prompt":true})"),
           structured(R"({"name":"X","description":null})"),
           structured(scalar("integer", R"({"range":[1]})")),
           std::string("{\"version\":1,\"use_case\":\"general\",\"guardrails\":\"default\",\"prompt\":\"\xC3\x28\",\"options\":{}}"),
       }) {
    EXPECT_EQ(respond(request), other) << request;
  }
  EXPECT_EQ(backend.calls, 0);
  size_t length = 99;
  char* answer = tarnwick_fm_respond(nullptr, 0, &length);
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(std::string(answer, length), other);
  tarnwick_fm_free(answer);
  tarnwick_fm_free(nullptr);
}

TEST_F(Shim, FailuresCrossByName) {
  backend.echo = false;
  const struct {
    std::optional<std::string> backendAnswer;
    std::string failure;
  } cases[] = {
      {R"({"version":1,"failure":"exceededContextWindowSize"})", "exceededContextWindowSize"},
      {R"({"version":1,"failure":"assetsUnavailable"})", "assetsUnavailable"},
      {R"({"version":1,"failure":"guardrailViolation"})", "guardrailViolation"},
      {R"({"version":1,"failure":"unsupportedGuide"})", "unsupportedGuide"},
      {R"({"version":1,"failure":"unsupportedLanguageOrLocale"})", "unsupportedLanguageOrLocale"},
      {R"({"version":1,"failure":"decodingFailure"})", "decodingFailure"},
      {R"({"version":1,"failure":"rateLimited"})", "rateLimited"},
      {R"({"version":1,"failure":"concurrentRequests"})", "concurrentRequests"},
      {R"({"version":1,"failure":"refusal"})", "refusal"},
      {R"({"version":1,"failure":"schema"})", "schema"},
      // A case this shim does not know (a later framework's), through `@unknown default`.
      {R"({"version":1,"failure":"other"})", "other"},
      // Failures that are not the framework's generation or schema failures.
      {R"({"version":1,"failure":"unknown"})", "unknown"},
      {R"({"version":1,"failure":"Refusal"})", "unknown"},
      {R"({"version":2,"text":"x"})", "unknown"},
      {R"({"version":1,"text":"x","failure":"refusal"})", "unknown"},
      {"not json", "unknown"},
      {std::nullopt, "unknown"},
  };
  for (const auto& c : cases) {
    backend.answer = c.backendAnswer;
    EXPECT_EQ(respond(plain("{}")), R"({"version":1,"failure":")" + c.failure + "\"}") << c.backendAnswer.value_or("null");
    EXPECT_EQ(respond(structured(scalar("string", ""))), R"({"version":1,"failure":")" + c.failure + "\"}");
  }
}

TEST_F(Shim, TextCrossesExactly) {
  backend.echo = false;
  for (const std::string& text : {std::string(""), std::string("{\"a\":[1,2.5,null]}"), std::string("line\nquote\" back\\ \x01 \x1f"),
                                  std::string("d\xC3\xA9j\xC3\xA0 \xF0\x9F\x90\xA6 e\xCC\x81"), std::string(100000, 'x')}) {
    backend.answer = nlohmann::json{{"version", 1}, {"text", text}}.dump();
    const auto answer = nlohmann::json::parse(respond(plain("{}")));
    EXPECT_EQ(answer, (nlohmann::json{{"version", 1}, {"text", text}}));
  }
}

// The codes are an ABI: the numbers are written here, not taken from the header, so renumbering
// the header fails both the build and the run.
static_assert(TARNWICK_FM_AVAILABLE == 0 && TARNWICK_FM_DEVICE_NOT_ELIGIBLE == 1 &&
              TARNWICK_FM_APPLE_INTELLIGENCE_NOT_ENABLED == 2 && TARNWICK_FM_MODEL_NOT_READY == 3 &&
              TARNWICK_FM_UNAVAILABLE_OTHER == 4);

TEST_F(Shim, AvailabilityCodesArePinned) {
  const struct {
    int32_t backendCode;
    int32_t code;
  } cases[] = {
      {0, 0}, {1, 1}, {2, 2}, {3, 3},
      // A reason this shim does not know (a later framework's), through `@unknown default`.
      {4, 4}, {-1, 4}, {99, 4},
  };
  for (const auto& c : cases) {
    backend.availability = c.backendCode;
    EXPECT_EQ(tarnwick_fm_availability(), c.code) << c.backendCode;
  }
}

}  // namespace
