// The schemas people write beyond the core subset: kinds settled from keywords, values of any
// kind, references anywhere in the document, "allOf", dropped definitions and alternatives, and
// the notes that say each, checked by the exact description and notes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TarnwickApple/JSON/JSONValue.hpp"
#include "TarnwickApple/Schema/SchemaExplanation.hpp"
#include "TarnwickApple/Schema/internal/SchemaTranslation.hpp"

#include "Translate.hpp"

namespace {

using namespace TarnwickApple;

// The description, then each note; or the refusal.
std::vector<std::string> accepted(std::string_view json) { return SchemaTests::explainedLines(json, true); }

using Case = SchemaTests::ExplainedCase;
void expectAll(const std::vector<Case>& cases) {
  SchemaTests::expectExplained(cases, true);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.schema);
    // The explanation never changes the translation.
    const auto plain = SchemaTranslator::generationSchema(JSONValue::decode(c.schema)).description();
    EXPECT_EQ(plain, c.expected.front());
  }
}


TEST(Acceptance, KindsFromKeywordsAndAnyValue) {
  expectAll({
      {R"({"minItems":1,"items":{"type":"integer"}})",
       {R"({"root":{"arrayOf":{"type":"integer","guides":[]},"minimumElements":1,"maximumElements":null},"dependencies":[]})",
        R"( type kind-inferred: no "type": the keywords make it an array)"}},
      {R"({"minimum":2,"multipleOf":2})",
       {R"({"root":{"type":"number","guides":[{"minimum":2.0}]},"dependencies":[]})",
        R"( type kind-inferred: no "type": the keywords make it a number)",
        R"( multipleOf ignored: "multipleOf": 2 is not read on a number, so the model is not held to it)"}},
      // An optional property that allows nothing, or only null, is left out; true and {} are strings.
      {R"({"type":"object","properties":{"a":true,"b":false,"c":{"type":"null"},"d":{"description":"free"}}})",
       {R"({"root":{"name":"Schema","description":null,"properties":[{"name":"a","description":null,"optional":true,"schema":{"type":"string","guides":[]}},{"name":"d","description":"free","optional":true,"schema":{"type":"string","guides":[]}}]},"dependencies":[]})",
        R"(/properties/a type any-as-string: true accepts any value, and a string is generated)",
        R"( properties ignored: "b": false allows no value, so the property is never generated)",
        R"( properties null-dropped: "c" allows only null, which is not generated, so the property is never generated)",
        R"(/properties/d type any-as-string: no keyword constrains the value, so any value is allowed, and a string is generated)"}},
      // A type list is a union of its kinds, each reading its own keywords.
      {R"({"type":["string","integer","null"],"minimum":1,"pattern":"^a+$","title":"T"})",
       {R"({"root":{"name":"T","description":null,"anyOf":[{"type":"string","guides":[{"pattern":"a+"}]},{"type":"integer","guides":[{"minimum":1}]}]},"dependencies":[]})",
        R"( type null-dropped: null is not generated: the answer is never null)",
        R"( type kind-union: one alternative for each kind listed (string, integer), each held to this node's keywords for its kind)"}},
  });
}

TEST(Acceptance, ValuesOfAnyKind) {
  expectAll({
      {R"({"enum":[1,2.5,"a","b",true,null,[1]]})",
       {R"({"root":{"name":"Schema","description":null,"anyOf":[{"type":"integer","guides":[{"range":[1,1]}]},{"type":"number","guides":[{"range":[2.5,2.5]}]},{"name":"SchemaChoice3","description":null,"choices":["a","b"]},{"type":"boolean","guides":[]}]},"dependencies":[]})",
        R"( enum ignored: member 6 is an array, which the model cannot be held to; it is never generated)",
        R"( enum null-dropped: null is not generated: the answer is never null)",
        R"( enum enum-widened: the model cannot be held to true alone, so either boolean may be generated)"}},
      {R"({"const":false})",
       {R"({"root":{"type":"boolean","guides":[]},"dependencies":[]})",
        R"( const enum-widened: the model cannot be held to false alone, so either boolean may be generated)"}},
      // Both booleans are exact; 1.0 is a whole number.
      {R"({"enum":[true,false,1.0]})",
       {R"({"root":{"name":"Schema","description":null,"anyOf":[{"type":"boolean","guides":[]},{"type":"integer","guides":[{"range":[1,1]}]}]},"dependencies":[]})"}},
  });
}

TEST(Acceptance, ReferencesInsideTheDocument) {
  expectAll({
      // Each copy is named for its place: the array's element is SchemaLItem here, LItem in the definition.
      {R"({"$defs":{"S":{"type":"string","pattern":"^x$"},"L":{"type":"array","items":{"type":"object","properties":{"x":{"$ref":"#/$defs/S"}}}}},"type":"object","properties":{"l":{"$ref":"#/$defs/L"},"s":{"$ref":"#/definitions/S"}}})",
       {R"({"root":{"name":"Schema","description":null,"properties":[{"name":"l","description":null,"optional":true,"schema":{"arrayOf":{"name":"SchemaLItem","description":null,"properties":[{"name":"x","description":null,"optional":true,"schema":{"type":"string","guides":[{"pattern":"x"}]}}]},"minimumElements":null,"maximumElements":null}},{"name":"s","description":null,"optional":true,"schema":{"type":"string","guides":[{"pattern":"x"}]}}]},"dependencies":[{"arrayOf":{"name":"LItem","description":null,"properties":[{"name":"x","description":null,"optional":true,"schema":{"type":"string","guides":[{"pattern":"x"}]}}]},"minimumElements":null,"maximumElements":null},{"type":"string","guides":[{"pattern":"x"}]}]})",
        R"(/$defs/L/items/properties/x $ref inlined: a copy of "#/$defs/S" is translated here: it is no object, choice or union, so no name can refer to it)",
        R"(/properties/l $ref inlined: a copy of "#/$defs/L" is translated here: it is no object, choice or union, so no name can refer to it)",
        R"(/properties/s $ref inlined: a copy of "#/definitions/S" is translated here: it is no object, choice or union, so no name can refer to it)"}},
      // ~1 and percent-escapes are decoded; a named form is translated once, under its last segment.
      {R"({"type":"object","x-order":["a/b","c","d%","e"],"properties":{"a/b":{"type":"integer"},"c":{"$ref":"#/properties/a~1b"},"d%":{"enum":["x"]},"e":{"$ref":"#/properties/d%25"}}})",
       {R"({"root":{"name":"Schema","description":null,"properties":[{"name":"a/b","description":null,"optional":true,"schema":{"type":"integer","guides":[]}},{"name":"c","description":null,"optional":true,"schema":{"type":"integer","guides":[]}},{"name":"d%","description":null,"optional":true,"schema":{"name":"SchemaD","description":null,"choices":["x"]}},{"name":"e","description":null,"optional":true,"schema":{"ref":"d%"}}]},"dependencies":[{"name":"d%","description":null,"choices":["x"]}]})",
        R"(/properties/c $ref inlined: a copy of "#/properties/a~1b" is translated here: it is no object, choice or union, so no name can refer to it)"}},
      // A cycle through a named form: a copy refers back to the object it is inside (the
      // definition itself, not a copy, takes one more level to meet its object again).
      {R"({"$defs":{"L":{"type":"array","items":{"type":"object","properties":{"next":{"$ref":"#/$defs/L"}}}}},"$ref":"#/$defs/L"})",
       {R"({"root":{"arrayOf":{"name":"SchemaItem","description":null,"properties":[{"name":"next","description":null,"optional":true,"schema":{"arrayOf":{"ref":"SchemaItem"},"minimumElements":null,"maximumElements":null}}]},"minimumElements":null,"maximumElements":null},"dependencies":[{"arrayOf":{"name":"LItem","description":null,"properties":[{"name":"next","description":null,"optional":true,"schema":{"arrayOf":{"name":"LItemNextItem","description":null,"properties":[{"name":"next","description":null,"optional":true,"schema":{"arrayOf":{"ref":"LItemNextItem"},"minimumElements":null,"maximumElements":null}}]},"minimumElements":null,"maximumElements":null}}]},"minimumElements":null,"maximumElements":null}]})",
        R"(/$defs/L/items/properties/next $ref inlined: a copy of "#/$defs/L" is translated here: it is no object, choice or union, so no name can refer to it)",
        R"( $ref inlined: a copy of "#/$defs/L" is translated here: it is no object, choice or union, so no name can refer to it)"}},
      {R"({"title":"Tree","type":"object","properties":{"child":{"$ref":"#"}}})",
       {R"({"root":{"name":"Tree","description":null,"properties":[{"name":"child","description":null,"optional":true,"schema":{"ref":"Tree"}}]},"dependencies":[]})"}},
  });
}

TEST(Acceptance, AllOfAndDefinitions) {
  expectAll({
      {R"({"allOf":[{"type":"object","properties":{"a":{"type":"string"}},"required":["a"]},{"$ref":"#/$defs/B"}],"required":["b"],"$defs":{"B":{"properties":{"b":{"type":"integer"}}}}})",
       {R"({"root":{"name":"Schema","description":null,"properties":[{"name":"a","description":null,"optional":false,"schema":{"type":"string","guides":[]}},{"name":"b","description":null,"optional":false,"schema":{"type":"integer","guides":[]}}]},"dependencies":[{"name":"B","description":null,"properties":[{"name":"b","description":null,"optional":true,"schema":{"type":"integer","guides":[]}}]}]})",
        R"( allOf merged: the properties and required names of its 2 object members are merged into one object)"}},
      // A member with annotations only says nothing.
      {R"({"allOf":[{"description":"note"},{"type":"integer","minimum":0}]})",
       {R"({"root":{"type":"integer","guides":[{"minimum":0}]},"dependencies":[]})"}},
      {R"({"allOf":[{"type":"string"},{"maxLength":2}]})",
       {R"({"root":{"type":"string","guides":[]},"dependencies":[]})",
        R"( allOf ignored: only member 0 of "allOf" is read, so the model is not held to the other 1)"}},
      {R"({"allOf":[{"type":"object","properties":{"a":{"type":"string"}}},{"properties":{"a":{"type":"integer"}}}]})",
       {R"({"root":{"name":"Schema","description":null,"properties":[{"name":"a","description":null,"optional":true,"schema":{"type":"string","guides":[]}}]},"dependencies":[]})",
        R"( allOf ignored: only member 0 of "allOf" is read, so the model is not held to the other 1)"}},
      {R"({"$defs":{"Unused":{"type":"date"},"Null":{"type":"null"}},"anyOf":[{"$ref":"#/$defs/Null"},{"type":"boolean"}]})",
       {R"({"root":{"type":"boolean","guides":[]},"dependencies":[]})",
        R"(/$defs/Null $defs definition-dropped: definition "Null" cannot be translated ("type" "null" alone leaves nothing to generate), so it is left out; each reference to it is translated where it stands)",
        R"(/$defs/Unused $defs definition-dropped: definition "Unused" cannot be translated ("type" "date" is no JSON Schema type), so it is left out; nothing references it)",
        R"( anyOf null-dropped: the null alternative is not generated: the answer is never null)"}},
  });
}

TEST(Acceptance, NotesOnWhatWasSilent) {
  expectAll({
      {R"({"type":"object","required":"a","properties":{"a":{"type":"string","required":true},"b":{"type":"integer","format":"int32"},"p":{"type":"string","pattern":"ab"}}})",
       {R"({"root":{"name":"Schema","description":null,"properties":[{"name":"a","description":null,"optional":false,"schema":{"type":"string","guides":[]}},{"name":"b","description":null,"optional":true,"schema":{"type":"integer","guides":[]}},{"name":"p","description":null,"optional":true,"schema":{"type":"string","guides":[{"pattern":"ab"}]}}]},"dependencies":[]})",
        R"( required ignored: "required": "a" is not a list, so no property is made required by it)",
        R"(/properties/b format ignored: "format": "int32" is not read on an integer, so the model is not held to it)",
        R"(/properties/p pattern pattern-anchored: "ab" is matched against the whole string, not found anywhere in it; write "^...$" to say so)"}},
      {R"({"type":"object"})",
       {R"({"root":{"name":"Schema","description":null,"properties":[]},"dependencies":[]})",
        R"( properties always-empty: no property is listed, so the answer is always {})"}},
      {R"({"type":"object","patternProperties":{"^x":{"type":"string"}},"additionalProperties":false})",
       {R"({"root":{"name":"Schema","description":null,"properties":[]},"dependencies":[]})",
        R"( additionalProperties ignored: "additionalProperties": false is not read on an object; the answer holds only the listed properties)",
        R"( patternProperties ignored: "patternProperties": an object is not read on an object, so the model is not held to it)",
        R"( properties always-empty: no property is listed, so the answer is always {}; what "patternProperties" allow is never generated)"}},
      {R"({"type":"number","exclusiveMinimum":true})",
       {R"({"root":{"type":"number","guides":[]},"dependencies":[]})",
        R"( exclusiveMinimum ignored: "exclusiveMinimum": true qualifies no "minimum", so it says nothing)"}},
  });
}

TEST(Acceptance, ArraysWithoutOneItemSchema) {
  expectAll({
      {R"({"type":"array","items":[{"type":"string"},{"type":"integer"}]})",
       {R"({"root":{"arrayOf":{"type":"string","guides":[]},"minimumElements":null,"maximumElements":1},"dependencies":[]})",
        R"( items tuple-shortened: only the first position's schema is generated, so the answer holds at most one element)"}},
      {R"({"type":"array","prefixItems":[{"type":"string"},{"type":"string"}],"minItems":2})",
       {R"({"root":{"arrayOf":{"type":"string","guides":[]},"minimumElements":2,"maximumElements":null},"dependencies":[]})"}},
      {R"({"type":"array","items":false})",
       {R"({"root":{"arrayOf":{"type":"string","guides":[]},"minimumElements":null,"maximumElements":0},"dependencies":[]})",
        R"( items always-empty: "items": false allows no element, so the answer is always [])"}},
      {R"({"type":"array"})",
       {R"({"root":{"arrayOf":{"type":"string","guides":[]},"minimumElements":null,"maximumElements":null},"dependencies":[]})",
        R"( items any-as-string: no schema for the elements: they may be any value, and strings are generated)"}},
  });
}

TEST(Acceptance, CopiesAreBounded) {
  // Thirty definitions, each an array of objects holding the previous one twice: 2^30 copies.
  std::string definitions = R"("D0":{"type":"string"})";
  for (int n = 1; n < 30; ++n) {
    const std::string previous = R"({"$ref":"#/$defs/D)" + std::to_string(n - 1) + R"("})";
    definitions += R"(,"D)" + std::to_string(n) + R"(":{"type":"array","items":{"type":"object","properties":{"a":)" +
                   previous + R"(,"b":)" + previous + "}}}";
  }
  const std::vector<std::string> refused = accepted(R"({"$defs":{)" + definitions + R"(},"$ref":"#/$defs/D29"})");
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_TRUE(refused.front().ends_with(": inlining references builds more than " +
                                        std::to_string(SchemaTranslator::maximumInlinedNodes) + " nodes"))
      << refused.front();
  // Below the limit the same shape translates.
  const std::vector<std::string> small = accepted(
      R"({"$defs":{"D0":{"type":"string"},"D1":{"type":"array","items":{"type":"object","properties":{"a":{"$ref":"#/$defs/D0"},)"
      R"("b":{"$ref":"#/$defs/D0"}}}}},"$ref":"#/$defs/D1"})");
  EXPECT_TRUE(small.front().starts_with(R"({"root":{"arrayOf":{"name":"SchemaItem")")) << small.front();
}

}  // namespace
