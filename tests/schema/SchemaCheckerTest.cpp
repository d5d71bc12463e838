// What a user sees of `tarnwick_apple_schema`, and what a parent sees of the sidecar given a
// schema it refuses: exact lines, empty stderr, exit statuses.
#include <gtest/gtest.h>

#include <string>

#include "support/Expectations.hpp"
#include "support/Subprocess.hpp"

namespace {

const std::string notJSONLine =
    "{\"status\":\"error\",\"kind\":\"FoundationModelsError\",\"message\":\"the schema on stdin is not JSON\"}\n";

std::string failureLine(const std::string& message) {
  return "{\"status\":\"error\",\"kind\":\"InvalidGenerationSchemaError\",\"message\":\"" + message + "\"}\n";
}

const std::string notObject = failureLine("the schema is not a JSON object");
const std::string unsupported = failureLine("the schema uses a construct the on-device model cannot express");
const std::string outsideReference = failureLine("the schema references a definition outside its own $defs");
const std::string inverted = failureLine("the schema declares a numeric bound whose minimum exceeds its maximum");
const std::string unresolved = failureLine("the schema does not resolve into a generation schema");

std::string checker() { return Subprocess::binaryPath("tarnwick_apple_schema"); }


TEST(SchemaChecker, PrintsTheDescription) {
  const std::string schema =
      R"({"title":"Person","type":"object","required":["name"],"x-order":["name"],)"
      R"("properties":{"age":{"type":"integer","minimum":0,"maximum":150},"name":{"type":"string","description":"full name"},)"
      R"("tags":{"type":"array","items":{"$ref":"#/$defs/Tag"},"maxItems":3},)"
      R"("score":{"anyOf":[{"type":"number","exclusiveMinimum":0.5},{"type":"null"}]}},)"
      R"("$defs":{"Tag":{"enum":["a","b"],"description":"a tag"}}})";
  expectLine(Subprocess::run(checker(), {}, schema),
             R"({"status":"ok","schema":{"root":{"name":"Person","description":null,"properties":[)"
             R"({"name":"name","description":"full name","optional":false,"schema":{"type":"string","guides":[]}},)"
             R"({"name":"age","description":null,"optional":true,"schema":{"type":"integer","guides":[{"range":[0,150]}]}},)"
             R"({"name":"score","description":null,"optional":true,"schema":{"type":"number","guides":[{"minimum":0.5}]}},)"
             R"({"name":"tags","description":null,"optional":true,"schema":{"arrayOf":{"ref":"Tag"},"minimumElements":null,"maximumElements":3}}]},)"
             R"("dependencies":[{"name":"Tag","description":"a tag","choices":["a","b"]}]}})"
             "\n",
             0);
  // Surrounding white space and a byte-order mark are part of one readable value.
  expectLine(Subprocess::run(checker(), {}, "\xEF\xBB\xBF \n{\"type\":\"boolean\"}\n\n"),
             "{\"status\":\"ok\",\"schema\":{\"root\":{\"type\":\"boolean\",\"guides\":[]},\"dependencies\":[]}}\n", 0);
}

TEST(SchemaChecker, RefusalsAreTheSidecarsFailureLines) {
  const std::pair<const char*, const std::string&> table[] = {
      {"[]", notObject},
      {"null", notObject},
      {R"({"type":"object","properties":{"a":"string"}})", notObject},
      {R"({"type":["integer","date"]})", unsupported},
      {R"({"anyOf":[]})", unsupported},
      {R"({"$ref":"other.json#/$defs/A"})", outsideReference},
      {R"({"type":"integer","minimum":6,"maximum":5})", inverted},
      {R"({"$ref":"#/$defs/Missing"})", unresolved},
      {R"({"enum":[]})", unresolved},
      {R"({"type":"array","items":{"type":"string"},"minItems":5,"maxItems":1})", unresolved},
      {R"({"type":"object","x-order":["a","a"],"properties":{"a":{"type":"string"}}})", unresolved},
  };
  for (const auto& [schema, line] : table) {
    SCOPED_TRACE(schema);
    expectLine(Subprocess::run(checker(), {}, schema), line, 1);
  }
}

TEST(SchemaChecker, StdinThatIsNotOneJSONValue) {
  const std::string inputs[] = {"", " \n", "{", "{\"type\":\"string\"", "[1] [2]", "{\"type\":\"string\"} x",
                                "{'type':'string'}", "{\"a\":\"\xff\"}", std::string("{\"a\":1}\0", 8)};
  for (const std::string& input : inputs) {
    SCOPED_TRACE(input);
    expectLine(Subprocess::run(checker(), {}, input), notJSONLine, 2);
  }
  const auto closed = Subprocess::run(checker(), {}, Subprocess::Input::closed(), Subprocess::Output::captured());
  expectLine(closed, notJSONLine, 2);
}

TEST(SchemaChecker, UnwritableStdoutEndsWithAFailingStatus) {
  for (const auto& output : {Subprocess::Output::toFile("/dev/full"), Subprocess::Output::closed()}) {
    const auto result = Subprocess::run(checker(), {}, Subprocess::Input::fromBytes(R"({"type":"string"})"), output);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.termSignal, 0);
    EXPECT_NE(result.exitStatus, 0);
  }
}

TEST(SchemaChecker, TheSidecarAnswersRefusedSchemasWithTheSameLines) {
  const std::pair<const char*, const std::string&> table[] = {
      {"5", notObject},
      {R"({"type":"array","items":{"type":"null"}})", unsupported},
      {R"({"$ref":"#/properties/a"})", outsideReference},
      {R"({"type":"number","exclusiveMinimum":2,"maximum":1})", inverted},
      {R"({"type":"object","properties":{"a":{"$ref":"#/$defs/Nowhere"}}})", unresolved},
  };
  for (const auto& [schema, line] : table) {
    SCOPED_TRACE(schema);
    const std::string request =
        std::string(R"({"prompt":"p","use_case":"general","guardrails":"default","schema":)") + schema + "}";
    expectLine(Subprocess::run(Subprocess::sidecarUnderTest(), {}, request), line, 0);
  }
}

}  // namespace
