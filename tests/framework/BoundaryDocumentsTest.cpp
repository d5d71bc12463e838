// The boundary's documents: the request text the engine writes, every answer it may read, and
// the description read back into the same schema.
#include "TarnwickApple/Engines/Framework/BoundaryDocuments.hpp"

#include <gtest/gtest.h>

#include "testing/SchemaDescription.hpp"
#include "TarnwickApple/Schema/SchemaTranslator.hpp"
#include "TarnwickApple/Errors/SidecarError.hpp"
#include "support/ErrorTables.hpp"
#include "support/SchemaDocuments.hpp"

namespace TarnwickApple::Engines {
namespace {

namespace FM = FoundationModels;

FM::GenerationSchema translated(const std::string& schema) {
  return SchemaTranslator::generationSchema(JSONValue::decode(schema));
}

TEST(RequestDocument, CarriesExactlyWhatTheSessionPasses) {
  FM::SessionSettings plain{FM::SystemLanguageModel::UseCase::contentTagging,
                            FM::SystemLanguageModel::Guardrails::permissiveContentTransformations, "Be brief.\n", {}};
  FM::GenerationOptions options;
  options.sampling = FM::SamplingMode::random(std::int64_t{40}, 18446744073709551615ull);
  options.temperature = 0.7;
  options.maximumResponseTokens = -9223372036854775807 - 1;
  EXPECT_EQ(Boundary::requestDocument(plain, "say \"hi\" é", options, nullptr, true),
            R"({"version":1,"use_case":"content_tagging","guardrails":"permissive_content_transformations",)"
            R"("instructions":"Be brief.\n","prompt":"say \"hi\" é","options":{"sampling":{"mode":"random_top",)"
            R"("top":40,"seed":18446744073709551615},"temperature":0.7,"maximum_response_tokens":-9223372036854775808}})");

  FM::SessionSettings general;
  FM::GenerationOptions threshold;
  threshold.sampling = FM::SamplingMode::random(1.0, std::nullopt);
  EXPECT_EQ(Boundary::requestDocument(general, "", threshold, nullptr, false),
            R"({"version":1,"use_case":"general","guardrails":"default","prompt":"","options":{"sampling":)"
            R"({"mode":"random_probability_threshold","probability_threshold":1.0}}})");

  const FM::GenerationSchema schema = translated(R"({"type":"object","properties":{"n":{"type":"number","minimum":2}}})");
  FM::GenerationOptions greedy;
  greedy.sampling = FM::SamplingMode::greedy();
  EXPECT_EQ(Boundary::requestDocument(general, "p", greedy, &schema, true),
            R"({"version":1,"use_case":"general","guardrails":"default","prompt":"p","options":{"sampling":)"
            R"({"mode":"greedy"}},"schema":{"root":{"name":"Schema","description":null,"properties":[{"name":"n",)"
            R"("description":null,"optional":true,"schema":{"type":"number","guides":[{"minimum":2.0}]}}]},)"
            R"("dependencies":[]},"include_schema_in_prompt":true})");
  EXPECT_EQ(Boundary::requestDocument(general, "p", {}, nullptr, false),
            R"({"version":1,"use_case":"general","guardrails":"default","prompt":"p","options":{}})");
}

// The failure as the engine resolves it after throwing what the answer named.
SidecarError resolvedAnswer(std::string_view document) {
  const auto read = Boundary::readAnswer(document);
  EXPECT_FALSE(read.text) << document;
  try {
    Boundary::throwFailure(read.failure);
  } catch (...) {
    return SidecarError::resolve(std::current_exception());
  }
  return SidecarError::unknown;
}

TEST(AnswerDocument, TextAndEveryFailureName) {
  const auto text = Boundary::readAnswer(R"({"version":1,"text":"a\"b\u0000","extra":[1]})");
  ASSERT_TRUE(text.text);
  EXPECT_EQ(*text.text, std::string("a\"b\0", 4));
  EXPECT_EQ(*Boundary::readAnswer(Boundary::textAnswer("a\xFF")).text, "a\xEF\xBF\xBD");
  // The names as they stand in the documents, each with the reply it becomes.
  const std::pair<const char*, const SidecarError*> table[] = {
      {"exceededContextWindowSize", &SidecarError::exceededContextWindowSize},
      {"assetsUnavailable", &SidecarError::assetsUnavailable},
      {"guardrailViolation", &SidecarError::guardrailViolation},
      {"unsupportedGuide", &SidecarError::unsupportedGuide},
      {"unsupportedLanguageOrLocale", &SidecarError::unsupportedLanguageOrLocale},
      {"decodingFailure", &SidecarError::decodingFailure},
      {"rateLimited", &SidecarError::rateLimited},
      {"concurrentRequests", &SidecarError::concurrentRequests},
      {"refusal", &SidecarError::refusal},
      {"other", &SidecarError::generation},
      {"schema", &SidecarError::invalidSchema},
      {"unknown", &SidecarError::unknown},
  };
  ASSERT_EQ(std::size(table), std::size_t{TARNWICK_FM_FAILURE_COUNT});
  for (std::size_t i = 0; i < std::size(table); ++i) {
    const auto& [name, error] = table[i];
    const auto failure = static_cast<Boundary::Failure>(i);
    EXPECT_STREQ(tarnwick_fm_failure_name(failure), name);
    const std::string document = std::string(R"({"version":1,"failure":")") + name + "\"}";
    EXPECT_EQ(Boundary::failureAnswer(failure), document);
    EXPECT_EQ(resolvedAnswer(document), *error) << name;
  }
}

// A case the framework layer throws, named across the boundary and thrown again on this side,
// resolves to the reply the case itself resolves to.
TEST(AnswerDocument, GenerationCasesKeepTheirReplyAcrossTheBoundary) {
  for (const auto& [kind, error] : generationFailureTable()) {
    const std::string document = Boundary::failureAnswer(Boundary::failureOf(kind));
    EXPECT_EQ(resolvedAnswer(document), *error) << document;
  }
  EXPECT_EQ(Boundary::failureOf(FM::LanguageModelSession::GenerationError::Case::unrecognized), tarnwick_fm_failure_other);
}

TEST(AnswerDocument, BrokenAnswersAreTheFailureOther) {
  using namespace std::string_view_literals;
  const std::string_view broken[] = {
      "", "hello", "[1]", "null", "{}", "{\"text\":\"a\"}", "{\"version\":2,\"text\":\"a\"}",
      "{\"version\":\"1\",\"text\":\"a\"}", "{\"version\":1}", "{\"version\":1,\"text\":\"a\",\"failure\":\"refusal\"}",
      "{\"version\":1,\"text\":null}", "{\"version\":1,\"text\":5}", "{\"version\":1,\"failure\":[\"refusal\"]}",
      "{\"version\":1,\"failure\":\"Refusal\"}", "{\"version\":1,\"failure\":\"refus\"}",
      "{\"version\":1,\"failure\":\"refusalX\"}", "{\"version\":1,\"failure\":\"refusal\\u0000\"}",
      "{\"version\":1,\"text\":\"\xC3\x28\"}", "{\"version\":1,\"text\":\"a",
      "{\"version\":1,\"text\":\"a\"}\0"sv, "{\"version\":1,\"text\":\"a\"} {}",
  };
  for (const std::string_view document : broken) {
    const auto read = Boundary::readAnswer(document);
    EXPECT_FALSE(read.text) << document;
    EXPECT_EQ(read.failure, tarnwick_fm_failure_other) << document;
  }
}

TEST(SchemaDescription, ReadsBackNodeForNode) {
  const std::string schemas[] = {
      R"({"type":"object","properties":{"a":{"type":"string","pattern":"^[a-z]+$","const":"ab"},)"
      R"("n":{"type":"number","minimum":-1.5e300,"maximum":0.1},"i":{"type":"integer","exclusiveMaximum":-9223372036854775807},)"
      R"("e":{"enum":["x","y\"z"]},"arr":{"type":"array","items":{"type":"boolean"},"minItems":1,"maxItems":4},)"
      R"("u":{"anyOf":[{"type":"string","description":"d"},{"type":"integer","minimum":3,"maximum":3},{"type":"null"}]}},)"
      R"("required":["a","u"],"x-order":["u","a"],"description":"root"})",
      R"({"$defs":{"Node":{"type":"object","properties":{"next":{"$ref":"#/$defs/Node"},"v":{"type":"integer"}}}},)"
      R"("$ref":"#/$defs/Node"})",
      R"({"type":"array","items":{"oneOf":[{"const":"k"},{"type":"number"}]}})",
  };
  for (const std::string& schema : schemas) {
    const FM::GenerationSchema original = translated(schema);
    EXPECT_EQ(schemaFromDescription(JSONValue::decode(original.description())).description(), original.description());
  }
  for (std::uint64_t seed = 0; seed < 200; ++seed) {
    const FM::GenerationSchema original = translated(TestSchemas::DocumentMaker(seed).make());
    ASSERT_EQ(schemaFromDescription(JSONValue::decode(original.description())).description(), original.description());
  }
}

TEST(SchemaDescription, RefusesWhatIsNoDescription) {
  const char* const broken[] = {
      "[]", R"({"root":{"type":"string","guides":[]}})", R"({"root":{"type":"text","guides":[]},"dependencies":[]})",
      R"({"root":{"type":"integer","guides":[{"minimum":1.5}]},"dependencies":[]})",
      R"({"root":{"type":"integer","guides":[{"minimum":1,"maximum":2}]},"dependencies":[]})",
      R"({"root":{"type":"integer","guides":[{"range":[1]}]},"dependencies":[]})",
      R"({"root":{"name":"A","description":null,"properties":[{"name":"p","description":null,"schema":{"ref":"A"}}]},"dependencies":[]})",
      R"({"root":{"arrayOf":{"type":"boolean","guides":[]},"minimumElements":"1","maximumElements":null},"dependencies":[]})",
      R"({"root":{"shape":"circle"},"dependencies":[]})",
      R"({"root":{"name":5,"description":null,"choices":["a"]},"dependencies":[]})",
  };
  for (const char* text : broken) EXPECT_THROW(schemaFromDescription(JSONValue::decode(text)), DescriptionError) << text;
  EXPECT_THROW(schemaFromDescription(JSONValue::decode(R"({"root":{"ref":"Missing"},"dependencies":[]})")),
               FM::GenerationSchema::SchemaError);
}

}  // namespace
}  // namespace TarnwickApple::Engines
