// What a user sees of `tarnwick_apple_schema --explain`, `--format text` and `--request`: exact
// lines and statuses, and that the plain line never changes under --explain.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "support/Expectations.hpp"
#include "support/Subprocess.hpp"

namespace {

std::string checker() { return Subprocess::binaryPath("tarnwick_apple_schema"); }

const std::string malformed =
    R"({"status":"error","kind":"FoundationModelsError","message":"the request on stdin could not be decoded into a sidecar request")";
const std::string invalid = R"({"status":"error","kind":"InvalidGenerationSchemaError","message":)";

TEST(CheckerExplain, NotesOnARealisticSchema) {
  const std::string schema =
      R"({"type":"object","x-order":["code","amount"],"required":["code"],"properties":{)"
      R"("code":{"type":"string","pattern":"^[A-Z]{3}-\\d{4}$","minLength":8},)"
      R"("amount":{"type":"number","exclusiveMinimum":0}}})";
  const std::string description =
      R"({"root":{"name":"Schema","description":null,"properties":[)"
      R"({"name":"code","description":null,"optional":false,"schema":{"type":"string","guides":[{"pattern":"\\w{3}-\\d{4}"}]}},)"
      R"({"name":"amount","description":null,"optional":true,"schema":{"type":"number","guides":[{"minimum":0.0}]}}]},"dependencies":[]})";
  expectLine(Subprocess::run(checker(), {}, schema), R"({"status":"ok","schema":)" + description + "}\n", 0);
  expectLine(Subprocess::run(checker(), {"--explain"}, schema),
             R"({"status":"ok","schema":)" + description +
                 R"(,"notes":[)"
                 R"({"pointer":"/properties/code","keyword":"minLength","effect":"ignored","detail":"\"minLength\": 8 is not read on a string, so the model is not held to it"},)"
                 R"({"pointer":"/properties/code","keyword":"pattern","effect":"pattern-widened","detail":"\"^[A-Z]{3}-\\d{4}$\" is enforced as \"\\w{3}-\\d{4}\", which accepts more"},)"
                 R"({"pointer":"/properties/amount","keyword":"exclusiveMinimum","effect":"bound-relaxed","detail":"enforced as the inclusive bound 0, so that value itself may be generated"}]})"
                 "\n",
             0);
  expectLine(Subprocess::run(checker(), {"--format", "text"}, schema),
             "/properties/code  minLength  ignored: \"minLength\": 8 is not read on a string, so the model is not held to it\n"
             "/properties/code  pattern  pattern-widened: \"^[A-Z]{3}-\\d{4}$\" is enforced as \"\\w{3}-\\d{4}\", which accepts more\n"
             "/properties/amount  exclusiveMinimum  bound-relaxed: enforced as the inclusive bound 0, so that value itself may be generated\n"
             "ok: accepted with 3 notes\n",
             0);
  expectLine(Subprocess::run(checker(), {"--explain"}, R"({"type":"boolean"})"),
             R"({"status":"ok","schema":{"root":{"type":"boolean","guides":[]},"dependencies":[]},"notes":[]})"
             "\n",
             0);
}

TEST(CheckerExplain, RefusalsGainPointerAndReason) {
  expectLine(Subprocess::run(checker(), {"--explain"}, R"({"type":"object","properties":{"holdings":{"type":"date"}}})"),
             invalid + R"("the schema uses a construct the on-device model cannot express","pointer":"/properties/holdings","reason":"\"type\" \"date\" is no JSON Schema type"})"
                       "\n",
             1);
  expectLine(Subprocess::run(checker(), {"--format", "text"}, R"({"$ref":"#/$defs/Nowhere"})"),
             "refused at (root): \"$ref\" \"#/$defs/Nowhere\" names no definition "
             "(InvalidGenerationSchemaError: the schema does not resolve into a generation schema)\n",
             1);
  // A request given where a schema is expected is a schema that accepts any value, and is said to be a request.
  expectLine(Subprocess::run(checker(), {"--explain"}, R"({"prompt":"p","use_case":"general","guardrails":"default"})"),
             R"({"status":"ok","schema":{"root":{"type":"string","guides":[]},"dependencies":[]},"notes":[)"
             R"({"pointer":"","keyword":"prompt","effect":"not-a-schema","detail":"this is a request document, not a schema: check it with --request"},)"
             R"({"pointer":"","keyword":"type","effect":"any-as-string","detail":"no keyword constrains the value, so any value is allowed, and a string is generated"}]})"
             "\n",
             0);
}

TEST(CheckerExplain, NotJSONSaysWhere) {
  const std::string line =
      R"({"status":"error","kind":"FoundationModelsError","message":"the schema on stdin is not JSON","reason":"not JSON at byte )";
  expectLine(Subprocess::run(checker(), {"--explain"}, R"({"type":"string"} {})"), line + "18: two JSON values\"}\n", 2);
  expectLine(Subprocess::run(checker(), {"--explain"}, std::string("{\"a\":\0}", 7)), line + "5: a NUL byte\"}\n", 2);
  const auto empty = Subprocess::run(checker(), {"--explain"}, " \n");
  EXPECT_TRUE(empty.out.ends_with(": no JSON value\"}\n")) << empty.out;
  EXPECT_EQ(empty.exitStatus, 2);
  const auto unexpected = Subprocess::run(checker(), {"--explain"}, R"({"type":'string'})");
  EXPECT_EQ(unexpected.out.substr(0, line.size() + 2), line + "8:");
  EXPECT_EQ(unexpected.exitStatus, 2);
}

TEST(CheckerExplain, UnknownArgumentsAreIgnoredAndFormatNeedsItsValue) {
  const std::string usage =
      R"({"status":"error","kind":"FoundationModelsError","message":"--format takes json or text"})"
      "\n";
  for (const std::vector<std::string>& arguments :
       std::vector<std::vector<std::string>>{{"--explain", "--format"}, {"--format", "yaml"}, {"--format", "--explain"}}) {
    expectLine(Subprocess::run(checker(), arguments, R"({"type":"string"})"), usage, 2);
  }
  const std::string plain = Subprocess::run(checker(), {}, R"({"type":"string"})").out;
  const std::string explained = Subprocess::run(checker(), {"--explain"}, R"({"type":"string"})").out;
  expectLine(Subprocess::run(checker(), {"-x", "explain", ""}, R"({"type":"string"})"), plain, 0);
  expectLine(Subprocess::run(checker(), {"-x", "--explain", "--Explain"}, R"({"type":"string"})"), explained, 0);
}

TEST(CheckerRequest, MembersThatDoNotDecode) {
  const std::string base = R"("prompt":"p","use_case":"general","guardrails":"default")";
  const std::pair<std::string, std::string> table[] = {
      {R"({"prompt":"p","use_case":"chat","guardrails":"default"})",
       R"("pointer":"/use_case","reason":"\"chat\" is not one of \"general\", \"content_tagging\"")"},
      {R"({"prompt":"p","use_case":"general","guardrails":"strict"})",
       R"("pointer":"/guardrails","reason":"\"strict\" is not one of \"default\", \"permissive_content_transformations\"")"},
      {R"({"use_case":"general","guardrails":"default"})", R"("pointer":"/prompt","reason":"missing")"},
      {R"({"prompt":null,"use_case":"general","guardrails":"default"})", R"("pointer":"/prompt","reason":"missing")"},
      {R"({"prompt":["p"],"use_case":"general","guardrails":"default"})", R"("pointer":"/prompt","reason":"an array is not a string")"},
      {"{" + base + R"(,"instructions":7})", R"("pointer":"/instructions","reason":"7 is not a string")"},
      {"{" + base + R"(,"options":[]})", R"("pointer":"/options","reason":"an array is not an object")"},
      {"{" + base + R"(,"options":{"maximum_response_tokens":1.5}})",
       R"("pointer":"/options/maximum_response_tokens","reason":"1.5 is not a whole number")"},
      {"{" + base + R"(,"options":{"maximum_response_tokens":1e19}})",
       R"x("pointer":"/options/maximum_response_tokens","reason":"10000000000000000000 is out of range (from -2^63 to 2^63-1)")x"},
      {"{" + base + R"(,"options":{"temperature":"hot"}})", R"("pointer":"/options/temperature","reason":"\"hot\" is not a number")"},
      {"{" + base + R"(,"options":{"sampling":{}}})", R"("pointer":"/options/sampling/mode","reason":"missing")"},
      {"{" + base + R"(,"options":{"sampling":{"mode":"top_k"}}})",
       R"("pointer":"/options/sampling/mode","reason":"\"top_k\" is not one of \"greedy\", \"random\"")"},
      // Both whole-number members quote a number past their range as the whole number it is.
      {"{" + base + R"(,"options":{"sampling":{"mode":"random","top":9223372036854775808}}})",
       R"x("pointer":"/options/sampling/top","reason":"9223372036854775808 is out of range (from -2^63 to 2^63-1)")x"},
      {"{" + base + R"(,"options":{"sampling":{"mode":"random","seed":18446744073709551616}}})",
       R"x("pointer":"/options/sampling/seed","reason":"18446744073709551616 is out of range (from 0 to 2^64-1)")x"},
      {"{" + base + R"(,"options":{"sampling":{"mode":"random","seed":-1}}})",
       R"x("pointer":"/options/sampling/seed","reason":"-1 is out of range (from 0 to 2^64-1)")x"},
      {"{" + base + R"(,"options":{"sampling":{"mode":"random","top":true}}})",
       R"("pointer":"/options/sampling/top","reason":"true is not a number")"},
      {"{" + base + R"(,"options":{"temperature":1e400}})",
       R"x("pointer":"/options/temperature","reason":"1e400 is out of range (beyond the largest 64-bit floating-point number)")x"},
      {"[1]", R"("pointer":"","reason":"the request is an array, not an object")"},
      // A schema given where a request is expected is recognised.
      {R"({"type":"object","properties":{}})", R"("pointer":"","reason":"this is a JSON Schema, not a request: check it without --request")"},
  };
  for (const auto& [request, tail] : table) {
    SCOPED_TRACE(request);
    expectLine(Subprocess::run(checker(), {"--request"}, request), malformed + "," + tail + "}\n", 1);
  }
  expectLine(Subprocess::run(checker(), {"--request"}, R"({"prompt":"p"} {})"),
             malformed + R"(,"reason":"not JSON at byte 15: two JSON values"})" + "\n", 2);
}

TEST(CheckerRequest, RequestsThatDecode) {
  const std::string base = R"("prompt":"p","use_case":"content_tagging","guardrails":"default")";
  expectLine(Subprocess::run(checker(), {"--request"}, "{" + base + R"(,"options":{"sampling":{"mode":"greedy","top":"x"}}})"),
             "{\"status\":\"ok\",\"schema\":null,\"notes\":[]}\n", 0);
  expectLine(Subprocess::run(checker(), {"--request"}, "{" + base + R"(,"schema":{"type":["string","null"]}})"),
             R"({"status":"ok","schema":{"root":{"type":"string","guides":[]},"dependencies":[]},"notes":[)"
             R"({"pointer":"","keyword":"type","effect":"null-dropped","detail":"null is not generated: the answer is always \"string\", never null"}]})"
             "\n",
             0);
  expectLine(Subprocess::run(checker(), {"--request"}, "{" + base + R"(,"schema":{"type":"array","items":{"type":"null"}}})"),
             invalid + R"("the schema uses a construct the on-device model cannot express","pointer":"/items","reason":"\"type\" \"null\" alone leaves nothing to generate"})"
                       "\n",
             1);
}

// The sidecar refuses random sampling with both "top" and "probability_threshold" before it looks
// at the schema; the checker says the same, with the place, and the sidecar's line agrees.
TEST(CheckerRequest, OptionsTheSidecarRefuses) {
  const std::string base = R"("prompt":"p","use_case":"general","guardrails":"default")";
  const std::string both = R"("options":{"sampling":{"mode":"random","top":40,"probability_threshold":0.9}})";
  const std::string conflict =
      R"({"status":"error","kind":"FoundationModelsError","message":"random sampling cannot set both top and probability_threshold",)"
      R"("pointer":"/options/sampling","reason":"\"top\" and \"probability_threshold\" are both set: keep one of them"})"
      "\n";
  const std::pair<std::string, std::string> table[] = {
      {"{" + base + "," + both + "}", conflict},
      {"{" + base + "," + both + R"(,"schema":{"type":"string"}})", conflict},
      // The sidecar's order: options before the schema, so this schema's refusal is not reached.
      {"{" + base + "," + both + R"(,"schema":{"type":"array"}})", conflict},
      {"{" + base + R"(,"options":{"sampling":{"mode":"random","top":40,"seed":7}}})", "{\"status\":\"ok\",\"schema\":null,\"notes\":[]}\n"},
      {"{" + base + R"(,"options":{"sampling":{"mode":"greedy","top":40,"probability_threshold":0.9}}})",
       "{\"status\":\"ok\",\"schema\":null,\"notes\":[]}\n"},
  };
  for (const auto& [request, line] : table) {
    SCOPED_TRACE(request);
    const bool ok = line.starts_with(R"({"status":"ok")");
    expectLine(Subprocess::run(checker(), {"--request"}, request), line, ok ? 0 : 1);
    if (ok) continue;
    // What the sidecar answers is the checker's line without the explanation.
    const std::string reply = line.substr(0, line.find(R"(,"pointer")")) + "}\n";
    expectLine(Subprocess::run(Subprocess::sidecarUnderTest(), {}, request), reply, 0);
  }
  expectLine(Subprocess::run(checker(), {"--request", "--format", "text"}, table[0].first),
             "refused at /options/sampling: \"top\" and \"probability_threshold\" are both set: keep one of them "
             "(FoundationModelsError: random sampling cannot set both top and probability_threshold)\n",
             1);
}

// The "order" note says the model gets the properties in another order than written, so it
// appears exactly when name order differs from the written one.
TEST(CheckerExplain, OrderNoteOnlyWhenTheWrittenOrderChanges) {
  const auto note = [](const std::string& pointer, const std::string& names) {
    return R"({"pointer":")" + pointer + R"(","keyword":"properties","effect":"order","detail":"the model receives the )"
           R"(properties in name order ()" + names + R"(), not as written; list them in \"x-order\" to choose"})";
  };
  const std::string s = R"({"type":"string"})";
  const std::pair<std::string, std::string> table[] = {
      {R"({"properties":{"a":)" + s + R"(,"b":)" + s + "}}", ""},
      {R"({"properties":{"b":)" + s + R"(,"a":)" + s + "}}", note("", "a, b")},
      {R"({"properties":{"only":)" + s + "}}", ""},
      // Name order is scalar order: capitals first, "a10" before "a2".
      {R"({"properties":{"Zip":)" + s + R"(,"city":)" + s + "}}", ""},
      {R"({"properties":{"city":)" + s + R"(,"Zip":)" + s + "}}", note("", "Zip, city")},
      {R"({"properties":{"a2":)" + s + R"(,"a10":)" + s + "}}", note("", "a10, a2")},
      // A key written twice keeps the place of its first writing.
      {R"({"properties":{"a":)" + s + R"(,"b":)" + s + R"(,"a":{"type":"integer"}}})", ""},
      {R"({"properties":{"b":)" + s + R"(,"a":)" + s + R"(,"b":{"type":"integer"}}})", note("", "a, b")},
      // "x-order" is the writer's own choice, so nothing is said.
      {R"({"x-order":["b"],"properties":{"b":)" + s + R"(,"a":)" + s + "}}", ""},
      {R"({"properties":{"n":{"properties":{"y":)" + s + R"(,"x":)" + s + "}},\"m\":" + s + "}}",
       note("", "m, n") + "," + note("/properties/n", "x, y")},
      {R"({"$defs":{"D":{"properties":{"b":)" + s + R"(,"a":)" + s + R"(}}},"$ref":"#/$defs/D"})", note("/$defs/D", "a, b")},
  };
  for (const auto& [schema, notes] : table) {
    SCOPED_TRACE(schema);
    const auto result = Subprocess::run(checker(), {"--explain"}, schema);
    expectCleanExit(result, 0);
    const std::size_t at = result.out.rfind(R"(,"notes":[)");
    ASSERT_NE(at, std::string::npos) << result.out;
    EXPECT_EQ(result.out.substr(at), R"(,"notes":[)" + notes + "]}\n");
  }
}

// --format text: one line per note whatever the names and patterns hold, and a pattern is
// quoted whole in both forms.
TEST(CheckerExplain, TextIsOneLinePerNoteAndPatternsAreWhole) {
  const std::string longPattern = "^(?=x)" + std::string(70, 'a') + "$";
  const std::string schema = R"({"required":["x\ny"],"properties":{"x\ny":{"type":"string","pattern":")" + longPattern +
                             R"("},"\u2028":{"type":"string","pattern":"^a\nb[^c]$","format":"\t"}}})";
  expectLine(Subprocess::run(checker(), {"--format", "text"}, schema),
             "/properties/x\\ny  pattern  pattern-dropped: \"" + longPattern +
                 "\" uses a lookahead (?=, which the model's dialect lacks; no pattern is enforced\n"
                 "/properties/\\u2028  format  ignored: \"format\": \"\\t\" is not read on a string, so the model is not held to it\n"
                 "/properties/\\u2028  pattern  pattern-dropped: \"^a\\nb[^c]$\" uses a negated class [^...], which the "
                 "model's dialect lacks; no pattern is enforced\n"
                 "ok: accepted with 3 notes\n",
             0);
  const auto json = Subprocess::run(checker(), {"--explain"}, schema);
  expectCleanExit(json, 0);
  EXPECT_NE(json.out.find(R"("detail":"\")" + longPattern + R"(\" uses )"), std::string::npos) << json.out;
}

// A random document mixing the subset with keywords outside it, accepted or refused.
std::string randomSchema(std::mt19937& random, int depth) {
  const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  static const char* const leaves[] = {
      R"({"type":"string","format":"date","pattern":"^[0-9]{4}$"})", R"({"type":"number","exclusiveMinimum":1})",
      R"({"type":["boolean","null"]})", R"({"enum":["x","y"],"maxLength":1})", R"({"type":"integer","minimum":2,"maximum":1})",
      R"({"type":"array"})", R"({"$ref":"#/$defs/Nope"})", R"({"type":"string","pattern":"\\s+"})", R"({"const":"c"})"};
  if (depth > 2 || pick(3) == 0) return leaves[pick(std::size(leaves))];
  if (pick(2) == 0) return R"({"type":"array","minItems":1,"items":)" + randomSchema(random, depth + 1) + "}";
  return R"({"type":"object","required":["b","z"],"properties":{"b":)" + randomSchema(random, depth + 1) +
         R"(,"a":)" + randomSchema(random, depth + 1) + "}}";
}

TEST(CheckerExplain, ThePlainLineNeverChanges) {
  std::mt19937 random(4242);
  for (int i = 0; i < 60; ++i) {
    const std::string schema = randomSchema(random, 0);
    SCOPED_TRACE(schema);
    const auto plain = Subprocess::run(checker(), {}, schema);
    const auto explained = Subprocess::run(checker(), {"--explain"}, schema);
    EXPECT_EQ(explained.exitStatus, plain.exitStatus);
    // The explained line is the plain one with its added members before the closing brace.
    const std::string kept = plain.out.substr(0, plain.out.size() - 2);
    ASSERT_EQ(explained.out.substr(0, kept.size()), kept);
    const std::string added = explained.out.substr(kept.size());
    EXPECT_TRUE(added.starts_with(plain.exitStatus == 0 ? ",\"notes\":[" : ",\"pointer\":\"")) << added;
  }
}

}  // namespace
