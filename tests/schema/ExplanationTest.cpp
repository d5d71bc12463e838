// What the explanation says about a schema: every effect with its place and exact detail, every
// refusal with its place and reason, and that explaining never changes the translation.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "TarnwickApple/JSON/JSONValue.hpp"
#include "TarnwickApple/Schema/SchemaExplanation.hpp"
#include "TarnwickApple/Schema/SchemaTranslator.hpp"
#include "TarnwickApple/Schema/internal/SchemaTranslation.hpp"

#include "Translate.hpp"

namespace {

using namespace TarnwickApple;

// Each note, or the refusal.
std::vector<std::string> explain(std::string_view json) { return SchemaTests::explainedLines(json, false); }

using Case = SchemaTests::ExplainedCase;
void expectAll(const std::vector<Case>& cases) { SchemaTests::expectExplained(cases, false); }

TEST(Explanation, IgnoredKeywordsByForm) {
  expectAll({
      {R"({"type":"string","minLength":2,"format":"email","title":"t","description":"d","examples":["a"]})",
       {R"( format ignored: "format": "email" is not read on a string, so the model is not held to it)",
        R"( minLength ignored: "minLength": 2 is not read on a string, so the model is not held to it)"}},
      // A keyword of another type constrains nothing here.
      {R"({"type":"integer","minLength":2,"multipleOf":5})",
       {R"( multipleOf ignored: "multipleOf": 5 is not read on an integer, so the model is not held to it)"}},
      {R"({"type":"integer","const":3})",
       {R"( const ignored: "const": 3 is not read on an integer, so the model is not held to it)"}},
      {R"({"type":"string","const":"x"})", {}},
      {R"({"type":"array","items":{"type":"boolean"},"uniqueItems":true,"contains":{"const":"a"}})",
       {R"( contains ignored: "contains": an object is not read on an array, so the model is not held to it)",
        R"( uniqueItems ignored: "uniqueItems": true is not read on an array, so the model is not held to it)"}},
      {R"({"type":"object","properties":{"a":{"type":"string"}},"additionalProperties":false,"minProperties":1})",
       {R"( additionalProperties ignored: "additionalProperties": false is not read on an object; the answer holds only the listed properties)",
        R"( minProperties ignored: "minProperties": 1 is not read on an object, so the model is not held to it)"}},
      {R"({"allOf":[{"type":"string"}],"type":"string","not":{"const":"a"}})",
       {R"( allOf ignored: "allOf": an array is not read on a string, so the model is not held to it)",
        R"( not ignored: "not": an object is not read on a string, so the model is not held to it)"}},
      // Beside "$ref", "enum" and unions every constraining keyword goes unread.
      {R"({"$ref":"#/$defs/A","maxLength":3,"$defs":{"A":{"enum":["a"]}}})",
       {R"( maxLength ignored: "maxLength": 3 is not read beside "$ref", so the model is not held to it)"}},
      {R"({"enum":["a","b"],"type":"string","maxLength":1})",
       {R"( maxLength ignored: "maxLength": 1 is not read beside "enum", so the model is not held to it)"}},
      {R"({"anyOf":[{"type":"string"},{"type":"integer"}],"oneOf":[{"type":"string"}],"type":"string"})",
       {R"( oneOf ignored: "oneOf": an array is not read beside "anyOf", so the model is not held to it)",
        R"( type ignored: "type": "string" is not read beside "anyOf", so the model is not held to it)"}},
      // An exclusive bound beside the inclusive one is never read.
      {R"({"type":"number","minimum":1,"exclusiveMinimum":1})",
       {R"( exclusiveMinimum ignored: "exclusiveMinimum": 1 is not read on a number, so the model is not held to it)"}},
  });
}

TEST(Explanation, PatternsDroppedAndWidened) {
  expectAll({
      {R"({"type":"string","pattern":"^[A-Z]{3}-\\d{4}$"})",
       {R"( pattern pattern-widened: "^[A-Z]{3}-\d{4}$" is enforced as "\w{3}-\d{4}", which accepts more)"}},
      {R"({"type":"string","pattern":"^[\\d]+ [a-z.]$"})",
       {R"( pattern pattern-widened: "^[\d]+ [a-z.]$" is enforced as "\d+ .", which accepts more)"}},
      // Anchors dropped and a class of one character are no widening.
      {R"({"type":"string","pattern":"^a[.]b$"})", {}},
      {R"({"type":"string","pattern":"(?=a)b"})",
       {R"( pattern pattern-dropped: "(?=a)b" uses a lookahead (?=, which the model's dialect lacks; no pattern is enforced)"}},
      {R"({"type":"string","pattern":"(?<!a)b"})",
       {R"( pattern pattern-dropped: "(?<!a)b" uses a lookbehind (?<!, which the model's dialect lacks; no pattern is enforced)"}},
      {R"({"type":"string","pattern":"(a)\\1"})",
       {R"( pattern pattern-dropped: "(a)\1" uses a back-reference \1, which the model's dialect lacks; no pattern is enforced)"}},
      {R"({"type":"string","pattern":"a\\sb"})",
       {R"( pattern pattern-dropped: "a\sb" uses \s (white space), which the model's dialect lacks; no pattern is enforced)"}},
      {R"({"type":"string","pattern":"[^@]+"})",
       {R"( pattern pattern-dropped: "[^@]+" uses a negated class [^...], which the model's dialect lacks; no pattern is enforced)"}},
      {R"({"type":"string","pattern":"a^b"})",
       {R"( pattern pattern-dropped: "a^b" uses "^" other than at the start, which the model's dialect lacks; no pattern is enforced)"}},
      {R"({"type":"string","pattern":"^$"})",
       {R"( pattern pattern-dropped: "^$" uses nothing once the anchors are dropped, which the model's dialect lacks; no pattern is enforced)"}},
      {R"({"type":"string","pattern":"a{2,1}"})",
       {R"( pattern pattern-dropped: "a{2,1}" rewritten as "a{2,1}" does not compile; no pattern is enforced)"}},
      {R"({"type":"string","pattern":["a"]})",
       {R"( pattern pattern-dropped: the pattern is an array, not a string; no pattern is enforced)"}},
  });
}

TEST(Explanation, BoundsNullsUnionsAndNames) {
  expectAll({
      {R"({"type":"number","exclusiveMinimum":0,"exclusiveMaximum":1.5})",
       {R"( exclusiveMinimum bound-relaxed: enforced as the inclusive bound 0, so that value itself may be generated)",
        R"( exclusiveMaximum bound-relaxed: enforced as the inclusive bound 1.5, so that value itself may be generated)"}},
      // An integer's exclusive bound is made exact, so nothing is said.
      {R"({"type":"integer","exclusiveMinimum":0})", {}},
      {R"({"type":["string","null"]})",
       {R"( type null-dropped: null is not generated: the answer is always "string", never null)"}},
      {R"({"anyOf":[{"type":"null"},{"type":"integer"}]})",
       {R"( anyOf null-dropped: the null alternative is not generated: the answer is never null)"}},
      {R"({"oneOf":[{"type":"string","format":"date"},{"type":"integer"}]})",
       {R"( oneOf one-of-as-any-of: translated as "anyOf": an answer may match more than one alternative)",
        R"(/oneOf/0 format ignored: "format": "date" is not read on a string, so the model is not held to it)"}},
      {R"({"type":"object","required":["a","zip"],"x-order":["b","a"],"properties":{"a":{"type":"string"},"c":{"type":"string"}}})",
       {R"( required listed-but-absent: "zip" is required but is no property, so the answer never holds it)",
        R"( x-order listed-but-absent: "b" is listed but is no property, so it is never generated)"}},
      {R"({"type":"object","properties":{"b/x":{"type":"string"},"a~":{"type":"string","format":"uri"}}})",
       {R"( properties order: the model receives the properties in name order (a~, b/x), not as written; list them in "x-order" to choose)",
        R"(/properties/a~0 format ignored: "format": "uri" is not read on a string, so the model is not held to it)"}},
      // Definitions come first, in name order, then the root; each node before what it holds.
      {R"({"$defs":{"B":{"properties":{"s":{"type":"string","maxLength":1}}},"A":{"type":"array","items":{"type":"string","minLength":1}}},"$ref":"#/$defs/B"})",
       {R"(/$defs/A/items minLength ignored: "minLength": 1 is not read on a string, so the model is not held to it)",
        R"(/$defs/B/properties/s maxLength ignored: "maxLength": 1 is not read on a string, so the model is not held to it)"}},
  });
}

TEST(Explanation, RefusalsOfNodes) {
  expectAll({
      {"[]", {"refused at : the document is an array, not an object"}},
      {R"({"type":"object","properties":{"a":"string"}})", {"refused at /properties/a: the schema is a string, not an object"}},
      {R"({"type":["null"]})", {R"(refused at : "type" lists no kind but null)"}},
      {R"({"type":5})", {R"(refused at : "type" is a number, not a string or a list)"}},
      {R"({"type":"null"})", {R"(refused at : "type" "null" alone leaves nothing to generate)"}},
      {R"({"type":"date"})", {R"(refused at : "type" "date" is no JSON Schema type)"}},
      {R"({"const":[1]})", {R"(refused at : "const" holds nothing but null, arrays and objects, which leaves nothing to generate)"}},
      {R"({"not":{},"description":"x"})", {R"(refused at : "not" of every value accepts no value)"}},
      {R"({"enum":[null,{}]})", {R"(refused at : "enum" holds nothing but null, arrays and objects, which leaves nothing to generate)"}},
      {R"({"type":"object","required":[1],"properties":{}})", {R"(refused at : "required" member 0 is a number, not a string)"}},
      {R"({"anyOf":[]})", {R"(refused at : "anyOf" is empty)"}},
      {R"({"oneOf":[{"type":"null"}]})", {R"(refused at : "oneOf" holds no alternative but null)"}},
      // A union refuses only when no alternative translates, with the first failure.
      {R"({"anyOf":[{"type":"null"},{"type":"date"},{"type":"array","items":5}]})", {R"(refused at /anyOf/1: "type" "date" is no JSON Schema type)"}},
      {R"({"type":"object","properties":{"holdings":{"type":"array","items":[{"type":"string"},{"type":"integer"}],"minItems":2}}})",
       {R"(refused at /properties/holdings: "items" lists a schema per position and "minItems" is 2, but only the first position can be generated)"}},
      {R"({"type":"array","items":{"type":"string"},"maxItems":"3"})", {R"(refused at : "maxItems" "3" is not a whole number)"}},
      {R"({"$ref":"https://x/y.json"})", {R"(refused at : "$ref" "https://x/y.json" points into another document)"}},
      {R"({"$ref":"#/properties/nothing"})", {R"(refused at : "$ref" "#/properties/nothing" names no place in this document)"}},
  });
}

// An enumeration of nothing to generate is refused before its members are noted, wherever it
// stands; one with something to generate notes each member it leaves out, in order.
TEST(Explanation, EnumerationMembersLeftOut) {
  const std::string refused = R"("enum" holds nothing but null, arrays and objects, which leaves nothing to generate)";
  expectAll({
      {R"({"anyOf":[{"enum":[{},[],null]},{"type":"string"}]})",
       {"/anyOf/0 anyOf alternative-dropped: alternative 0 cannot be translated (" + refused + "), so it is never generated"}},
      {R"({"type":"string","$defs":{"D":{"enum":[{},[]]}}})",
       {"/$defs/D $defs definition-dropped: definition \"D\" cannot be translated (" + refused + "), so it is left out; nothing references it"}},
      {R"({"type":"object","properties":{"p":{"oneOf":[{"enum":[{},[]]},{"enum":[[],null]}]}}})",
       {"refused at /properties/p/oneOf/0: " + refused}},
      {R"({"type":"object","properties":{"q":{"enum":["a",{},[1],true,null]}}})",
       {"/properties/q enum ignored: member 1 is an object, which the model cannot be held to; it is never generated",
        "/properties/q enum ignored: member 2 is an array, which the model cannot be held to; it is never generated",
        "/properties/q enum null-dropped: null is not generated: the answer is never null",
        "/properties/q enum enum-widened: the model cannot be held to true alone, so either boolean may be generated"}},
  });
}

TEST(Explanation, RefusalsOfBoundsAndDepth) {
  expectAll({
      {R"({"type":"integer","minimum":6,"maximum":5})", {R"(refused at : "minimum" 6 exceeds "maximum" 5)"}},
      {R"({"type":"integer","exclusiveMinimum":5,"exclusiveMaximum":6})",
       {R"(refused at : "exclusiveMinimum" 5 and "exclusiveMaximum" 6 leave no value between them)"}},
      {R"({"type":"number","exclusiveMinimum":2,"maximum":1})", {R"(refused at : "exclusiveMinimum" 2 exceeds "maximum" 1)"}},
      {R"({"type":"integer","minimum":1.5})", {R"(refused at : "minimum" 1.5 is not a whole number)"}},
      {R"({"type":"integer","maximum":1e300})", {R"(refused at : "maximum" 1e+300 is out of the 64-bit range)"}},
      {R"({"type":"number","minimum":"0"})", {R"(refused at : "minimum" "0" is not a number)"}},
      {R"({"type":"integer","exclusiveMinimum":9223372036854775807})",
       {R"(refused at : "exclusiveMinimum" 9223372036854775807 leaves no integer above it)"}},
  });
  std::string deep = R"({"type":"string"})";
  std::string pointer;
  for (int i = 0; i < 33; ++i) {
    deep = R"({"type":"array","items":)" + deep + "}";
    pointer += "/items";
  }
  EXPECT_EQ(explain(deep), std::vector<std::string>{"refused at " + pointer + ": depth 33 exceeds 32"});
}

TEST(Explanation, RefusalsOfAssembly) {
  expectAll({
      {R"({"$ref":"#/$defs/Missing"})", {R"(refused at : "$ref" "#/$defs/Missing" names no definition)"}},
      // A cycle must pass through a form with a name; the place is inside the copy of the definition.
      {R"({"$defs":{"L":{"type":"array","items":{"$ref":"#/$defs/L"}}},"type":"object","properties":{"l":{"$ref":"#/definitions/L"}}})",
       {R"(refused at /$defs/L/items: "$ref" cycle "#/definitions/L" -> "#/$defs/L" passes through no object, choice or union)"}},
      // A definition with a name that is referenced must translate; one without fails where it is copied.
      {R"({"$defs":{"S":{"type":"object","properties":{"a":{"type":"date"}}}},"$ref":"#/$defs/S"})",
       {R"(refused at /$defs/S/properties/a: "type" "date" is no JSON Schema type)"}},
      {R"({"$defs":{"S":{"type":"array","items":{"type":"date"}}},"$ref":"#/$defs/S"})",
       {R"(refused at /$defs/S/items: "type" "date" is no JSON Schema type)"}},
      {R"({"enum":[]})", {R"(refused at : "enum" is empty)"}},
      {R"({"type":"object","properties":{"a":{"type":"array","items":{"type":"string"},"minItems":5,"maxItems":1}}})",
       {R"(refused at /properties/a: "minItems" 5 exceeds "maxItems" 1)"}},
      {R"({"type":"array","items":{"type":"string"},"minItems":-1})", {R"(refused at : "minItems" -1 is negative)"}},
      {R"({"type":"object","x-order":["a","a"],"properties":{"a":{"type":"string"}}})", {R"(refused at : "x-order" lists "a" twice)"}},
  });
}

// A random document over keywords in and outside the subset, some of them refused.
std::string randomSchema(std::mt19937& random, int depth) {
  const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  static const char* const scalars[] = {
      R"({"type":"string","minLength":1,"format":"email"})", R"({"type":"string","pattern":"^[a-z]{2,}$"})",
      R"({"type":"string","pattern":"(?!x)y"})", R"({"type":["integer","null"],"exclusiveMinimum":0})",
      R"({"type":"number","exclusiveMaximum":9.5,"multipleOf":0.5})", R"({"type":"boolean","const":true})",
      R"({"enum":["a","b"]})", R"({"const":"k"})", R"({"type":"integer","minimum":3,"maximum":2})",
      R"({"type":"array"})", R"({"$ref":"#/$defs/D"})", R"({"$ref":"#/$defs/Missing"})", R"({"type":"null"})"};
  if (depth > 3 || pick(3) == 0) return scalars[pick(std::size(scalars))];
  switch (pick(3)) {
    case 0: return R"({"type":"array","uniqueItems":true,"items":)" + randomSchema(random, depth + 1) + "}";
    case 1: return R"({"oneOf":[{"type":"null"},)" + randomSchema(random, depth + 1) + "," + randomSchema(random, depth + 1) + "]}";
    default: {
      std::string object = R"({"type":"object","additionalProperties":false,"required":["p0","q"],"properties":{)";
      const int count = pick(4);
      for (int i = 0; i < count; ++i) object += (i ? ",\"p" : "\"p") + std::to_string(i) + "\":" + randomSchema(random, depth + 1);
      return object + "}}";
    }
  }
}

TEST(Explanation, NeverChangesTheTranslation) {
  std::mt19937 random(20261209);
  for (int i = 0; i < 2000; ++i) {
    const std::string schema = R"({"$defs":{"D":{"type":"object","properties":{}}},"allOf":[],"anyOf":[)" +
                               randomSchema(random, 0) + "," + randomSchema(random, 0) + "]}";
    SCOPED_TRACE(schema);
    const JSONValue document = JSONValue::decode(schema);
    const SchemaTranslator::Explained explained = SchemaTranslator::explained(document);
    try {
      const std::string plain = SchemaTranslator::generationSchema(document).description();
      ASSERT_TRUE(explained.schema);
      EXPECT_EQ(explained.schema->description(), plain);
    } catch (const SidecarError& error) {
      ASSERT_TRUE(explained.error);
      EXPECT_EQ(*explained.error, error);
      EXPECT_FALSE(explained.reason.empty());
    }
  }
}

// Notes as "POINTER KEYWORD EFFECT: DETAIL".
std::vector<std::string> lines(const SchemaNotes& notes) {
  std::vector<std::string> result;
  for (const SchemaNote& note : notes) {
    result.push_back(note.pointer + " " + std::string(note.keyword) + " " + std::string(note.effect) + ": " + note.detail);
  }
  return result;
}

// Pieces translated with contexts of their own, one inside another's translation: each recorder
// hears only its own translation, at its own place, and a context without one hears nothing.
TEST(Explanation, EachContextRecordsOnlyItsOwnTranslation) {
  const JSONValue email = JSONValue::decode(R"({"type":"string","format":"email"})");
  const JSONValue single = JSONValue::decode(R"({"oneOf":[{"type":"integer","maximum":"x"}]})");
  Namer outerNames, innerNames, silentNames;
  Explain::Recorder outer, inner;
  SchemaTranslator::Context outerContext(outerNames, nullptr, &outer);
  {
    SchemaTranslator::Step step(outerContext, "properties", "a/b", SchemaTranslator::Step::nested);
    SchemaTranslator::Context innerContext(innerNames, nullptr, &inner);
    EXPECT_THROW(SchemaTranslator::schema(single, "Inner", innerContext), SidecarError);
    SchemaTranslator::Context silentContext(silentNames);
    EXPECT_EQ(SchemaTranslator::schema(email, "Silent", silentContext).form(),
              FoundationModels::DynamicGenerationSchema::Form::scalar);
    EXPECT_EQ(silentContext.pointer(), "");
    SchemaTranslator::schema(email, "Outer", outerContext);
    EXPECT_EQ(outerContext.depth, 1);
  }
  EXPECT_EQ(outerContext.depth, 0);
  EXPECT_EQ(outerContext.pointer(), "");
  EXPECT_EQ(lines(outer.notes),
            (std::vector<std::string>{
                "/properties/a~1b format ignored: \"format\": \"email\" is not read on a string, so the model is not held to it"}));
  EXPECT_EQ(lines(inner.notes),
            (std::vector<std::string>{
                " oneOf one-of-as-any-of: translated as \"anyOf\": an answer may match more than one alternative"}));
  EXPECT_EQ(inner.refusalPointer, "/oneOf/0");
  EXPECT_EQ(inner.refusalReason, "\"maximum\" \"x\" is not a number");
  EXPECT_EQ(outer.refusalPointer, "");
}

// Notes about listed names are kept as runs of names; a dropped alternative takes its own back,
// and each sentence is the one a note built whole would hold.
TEST(Explanation, NotesAboutNamesFollowTheirAlternative) {
  expectAll({
      {R"({"anyOf":[{"type":"object","required":["x","y\"z"],"properties":{"p":{"type":"foo"}}},)"
       R"({"type":"object","required":["w","v"],"x-order":["u","w"],"properties":{}}]})",
       {"/anyOf/0 anyOf alternative-dropped: alternative 0 cannot be translated (\"type\" \"foo\" is no JSON Schema type), so it is never generated",
        "/anyOf/1 required listed-but-absent: \"w\" is required but is no property, so the answer never holds it",
        "/anyOf/1 required listed-but-absent: \"v\" is required but is no property, so the answer never holds it",
        "/anyOf/1 x-order listed-but-absent: \"u\" is listed but is no property, so it is never generated",
        "/anyOf/1 x-order listed-but-absent: \"w\" is listed but is no property, so it is never generated"}},
      {R"({"type":"object","properties":{"a":{"type":"object","required":["q"],"properties":{}}},"required":["a","b"]})",
       {" required listed-but-absent: \"b\" is required but is no property, so the answer never holds it",
        "/properties/a required listed-but-absent: \"q\" is required but is no property, so the answer never holds it"}},
  });
}

}  // namespace
