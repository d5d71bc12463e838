// Document and node translation: definitions, root names, references, enumerations, kinds,
// scalars, arrays and the depth limit, checked by their exact descriptions and refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Translate.hpp"

namespace {

using namespace SchemaTests;


TEST(Document, OnlyAnObjectIsASchema) {
  expectAll({{"[]", notObject}, {"\"x\"", notObject}, {"1", notObject}, {"1.5", notObject}, {"true", notObject},
             {"null", notObject}});
}

TEST(Document, RootNames) {
  expectAll({
      {R"({"title":"Person","type":"object","properties":{}})",
       rootOnly(R"({"name":"Person","description":null,"properties":[]})")},
      // The scalar root carries no name but still holds "Schema".
      {R"({"type":"array","items":{"title":"Schema","type":"object"}})",
       rootOnly(R"({"arrayOf":{"name":"Schema2","description":null,"properties":[]},)"
                R"("minimumElements":null,"maximumElements":null})")},
      {R"({"title":"","type":"object"})", rootOnly(R"({"name":"Schema","description":null,"properties":[]})")},
      {R"({"title":5,"type":"object"})", rootOnly(R"({"name":"Schema","description":null,"properties":[]})")},
      {R"({"$defs":{"Schema":{"type":"string"}},"type":"object"})",
       R"({"root":{"name":"Schema2","description":null,"properties":[]},"dependencies":[)" + text + "]}"},
      {R"({"title":"A","$defs":{"A":{"enum":["x"]}},"enum":["y"]})",
       R"({"root":{"name":"A2","description":null,"choices":["y"]},)"
       R"("dependencies":[{"name":"A","description":null,"choices":["x"]}]})"},
  });
}

TEST(Document, DefinitionsTableAndOrder) {
  expectAll({
      // Ascending scalar order: "B" before "a", "a10" before "a2"; a definition's own title plays no part.
      {R"({"$defs":{"b":{"enum":["b"]},"a2":{"enum":["a2"]},"B":{"title":"Other","enum":["B"]},"a10":{"enum":["a10"]}},)"
       R"("type":"boolean"})",
       R"({"root":)" + boolean +
           R"(,"dependencies":[{"name":"B","description":null,"choices":["B"]},)"
           R"({"name":"a10","description":null,"choices":["a10"]},{"name":"a2","description":null,"choices":["a2"]},)"
           R"({"name":"b","description":null,"choices":["b"]}]})"},
      // "$defs" that is no object hides "definitions".
      {R"({"$defs":"x","definitions":{"A":{"enum":["a"]}},"type":"boolean"})", rootOnly(boolean)},
      {R"({"$defs":"x","definitions":{"A":{"enum":["a"]}},"$ref":"#/definitions/A"})", unresolved},
      // Either prefix reaches the definitions, wherever they sit.
      {R"({"definitions":{"A":{"enum":["a"]}},"type":"array","items":{"$ref":"#/$defs/A"}})",
       R"({"root":{"arrayOf":{"ref":"A"},"minimumElements":null,"maximumElements":null},)"
       R"("dependencies":[{"name":"A","description":null,"choices":["a"]}]})"},
      // Names made inside definitions come before the root's.
      {R"({"$defs":{"D":{"type":"object","properties":{"x":{"type":"object","title":"Schema"}}}},"type":"object"})",
       R"({"root":{"name":"Schema2","description":null,"properties":[]})"
       R"(,"dependencies":[{"name":"D","description":null,"properties":[{"name":"x","description":null,)"
           R"("optional":true,"schema":{"name":"Schema","description":null,"properties":[]}}]}]})"},
      // A failing definition ends the translation before the root is looked at.
      // ... unless nothing references it: then it is left out.
      {R"({"$defs":{"A":{"type":"null"},"B":{"$ref":"#/$defs/A"}},"$ref":"#/$defs/B"})", unsupported},
      {R"({"$defs":{"A":{"type":"object"},"B":5},"$ref":"#/$defs/A"})",
       R"({"root":{"ref":"A"},"dependencies":[{"name":"A","description":null,"properties":[]}]})"},
  });
}

TEST(Document, References) {
  const std::string defA = R"(,"dependencies":[{"name":"A","description":null,"choices":["a"]}]})";
  expectAll({
      {R"({"$defs":{"A":{"enum":["a"]}},"$ref":"#/$defs/A","type":"string","description":"x"})",
       R"({"root":{"ref":"A"})" + defA},
      {R"({"$defs":{"":{"enum":["a"]}},"$ref":"#/$defs/"})",
       R"({"root":{"ref":""},"dependencies":[{"name":"","description":null,"choices":["a"]}]})"},
      // Taken verbatim: no pointer unescaping, no splitting.
      {R"({"$defs":{"a~1b/c":{"enum":["a"]}},"$ref":"#/$defs/a~1b/c"})",
       R"({"root":{"ref":"a~1b/c"},"dependencies":[{"name":"a~1b/c","description":null,"choices":["a"]}]})"},
      {R"({"$ref":"#/properties/a"})", outsideReference},  // names nothing
      {R"({"$ref":"other.json#/$defs/A"})", outsideReference},
      {R"({"$ref":"#/$def/A"})", outsideReference},
      {R"({"$ref":5,"type":"boolean"})", rootOnly(boolean)},
      // Unresolved names are refused by the assembly; an unnamed form is copied in place.
      {R"({"$ref":"#/$defs/Missing"})", unresolved},
      {R"({"$defs":{"A":{"type":"string"}},"$ref":"#/$defs/A"})", R"({"root":)" + text + R"(,"dependencies":[)" + text + "]}"},
      // A reference to a form nested inside a definition resolves.
      {R"({"$defs":{"A":{"type":"object","properties":{"p":{"enum":["x"]}}}},"$ref":"#/$defs/AP"})",
       R"({"root":{"ref":"AP"},"dependencies":[{"name":"A","description":null,"properties":[{"name":"p",)"
       R"("description":null,"optional":true,"schema":{"name":"AP","description":null,"choices":["x"]}}]}]})"},
  });
}

TEST(Node, EnumerationsAndUnionKeys) {
  expectAll({
      {R"({"enum":["a","b","a"],"type":"integer","description":"d"})",
       rootOnly(R"({"name":"Schema","description":"d","choices":["a","b","a"]})")},
      {R"({"enum":["a",1]})", rootOnly(R"({"name":"Schema","description":null,"anyOf":[{"name":"SchemaChoice1",)"
                                       R"("description":null,"choices":["a"]},{"type":"integer","guides":[{"range":[1,1]}]}]})")},
      // An empty enumeration translates, and the assembly refuses it.
      {R"({"enum":[]})", unresolved},
      {R"({"enum":"a","type":"boolean"})", rootOnly(boolean)},
      {R"({"anyOf":{},"oneOf":[{"const":"a"},{"const":"b"}]})",
       rootOnly(R"({"name":"Schema","description":null,"choices":["a","b"]})")},
      {R"({"anyOf":[{"const":"a"},{"const":"b"}],"oneOf":[{"type":"null"}]})",
       rootOnly(R"({"name":"Schema","description":null,"choices":["a","b"]})")},
  });
}

TEST(Node, Kinds) {
  expectAll({
      {R"({"type":"string"})", rootOnly(text)},
      {R"({"type":["string","null"]})", rootOnly(text)},
      {R"({"type":["null","integer"]})", rootOnly(integer)},
      {R"({"type":"boolean","minimum":1,"pattern":"a"})", rootOnly(boolean)},
      {R"({"type":["null"]})", unsupported},
      {R"({"type":[]})", unsupported},
      {R"({"type":["integer","number"]})",
       rootOnly(R"({"name":"Schema","description":null,"anyOf":[)" + integer + R"(,{"type":"number","guides":[]}]})")},
      {R"({"type":["string","string"]})", rootOnly(text)},
      {R"({"type":["string",1]})", unsupported},
      {R"({"type":"String"})", unsupported},
      {R"({"type":"null"})", unsupported},
      {R"({"type":"date"})", unsupported},
      {R"({})", rootOnly(text)},
      {R"({"type":5,"properties":{}})", unsupported},
      {R"({"type":null,"const":"x"})", unsupported},
      {R"({"properties":5})", rootOnly(R"({"name":"Schema","description":null,"properties":[]})")},
      {R"({"const":"x"})", rootOnly(R"({"type":"string","guides":[{"constant":"x"}]})")},
      {R"({"const":3})", rootOnly(R"({"type":"integer","guides":[{"range":[3,3]}]})")},
      {R"({"const":3,"type":"integer"})", rootOnly(integer)},
      // Unknown keywords are ignored whatever their value.
      {R"({"type":"string","format":5,"minLength":"x","additionalProperties":false,"allOf":1})", rootOnly(text)},
  });
}

TEST(Node, ScalarGuidesInTheirTypesForm) {
  expectAll({
      {R"({"type":"integer","minimum":1,"maximum":10})", rootOnly(R"({"type":"integer","guides":[{"range":[1,10]}]})")},
      {R"({"type":"integer","minimum":2.0})", rootOnly(R"({"type":"integer","guides":[{"minimum":2}]})")},
      {R"({"type":"number","exclusiveMaximum":5})", rootOnly(R"({"type":"number","guides":[{"maximum":5.0}]})")},
      {R"({"type":"number","minimum":-0.25,"maximum":1e300})",
       rootOnly(R"({"type":"number","guides":[{"range":[-0.25,1e+300]}]})")},
      {R"({"type":"number","minimum":2,"maximum":1})", inverted},
      {R"({"type":"integer","minimum":2.5})", unsupported},
      {R"({"type":"string","const":"a\"b\\c\u0001é"})",
       rootOnly(R"({"type":"string","guides":[{"constant":"a\"b\\c\u0001é"}]})")},
  });
}

TEST(Node, Arrays) {
  const std::string unbounded = R"(,"minimumElements":null,"maximumElements":null})";
  expectAll({
      {R"({"type":"array"})", rootOnly(R"({"arrayOf":)" + text + unbounded)},
      {R"({"type":"array","items":true})", rootOnly(R"({"arrayOf":)" + text + unbounded)},
      {R"({"type":"array","items":null})", notObject},
      {R"({"type":"array","items":{"type":"string"},"minItems":2.0,"maxItems":3})",
       rootOnly(R"({"arrayOf":)" + text + R"(,"minimumElements":2,"maximumElements":3})")},
      {R"({"type":"array","items":{"type":"string"},"minItems":2.5})", unsupported},
      {R"({"type":"array","items":{"type":"string"},"minItems":"2"})", unsupported},
      {R"({"type":"array","items":{"type":"string"},"maxItems":null})", unsupported},
      // The element fails before the bounds are read.
      {R"({"type":"array","items":5,"minItems":"x"})", notObject},
      // Bounds pass through translation; equal bounds and zero are accepted, the rest refused.
      {R"({"type":"array","items":{"type":"string"},"minItems":4,"maxItems":4})",
       rootOnly(R"({"arrayOf":)" + text + R"(,"minimumElements":4,"maximumElements":4})")},
      {R"({"type":"array","items":{"type":"string"},"minItems":0,"maxItems":0})",
       rootOnly(R"({"arrayOf":)" + text + R"(,"minimumElements":0,"maximumElements":0})")},
      {R"({"type":"array","items":{"type":"string"},"minItems":5,"maxItems":1})", unresolved},
      {R"({"type":"array","items":{"type":"string"},"minItems":-1})", unresolved},
      {R"({"type":"array","items":{"type":"string"},"maxItems":-1})", unresolved},
      // Element names.
      {R"({"type":"array","items":{"type":"object"}})",
       rootOnly(R"({"arrayOf":{"name":"SchemaItem","description":null,"properties":[]})" + unbounded)},
      {R"({"type":"array","items":{"type":"array","items":{"enum":["x"]}}})",
       rootOnly(R"({"arrayOf":{"arrayOf":{"name":"SchemaItemItem","description":null,"choices":["x"]})" + unbounded +
                unbounded)},
      {R"({"type":"array","items":{"title":"Row","enum":["x"]}})",
       rootOnly(R"({"arrayOf":{"name":"Row","description":null,"choices":["x"]})" + unbounded)},
      {R"({"$defs":{"Row":{"enum":["r"]}},"type":"array","items":{"title":"Row","enum":["x"]}})",
       R"({"root":{"arrayOf":{"name":"Row2","description":null,"choices":["x"]})" + unbounded +
           R"(,"dependencies":[{"name":"Row","description":null,"choices":["r"]}]})"},
      {R"({"$defs":{"SchemaItem":{"enum":["r"]}},"type":"array","items":{"enum":["x"]}})",
       R"({"root":{"arrayOf":{"name":"SchemaItem2","description":null,"choices":["x"]})" + unbounded +
           R"(,"dependencies":[{"name":"SchemaItem","description":null,"choices":["r"]}]})"},
  });
}

// Arrays nested `levels` deep around a string: the innermost node sits at depth `levels`.
std::string nestedArrays(int levels) {
  std::string schema;
  for (int i = 0; i < levels; ++i) schema += R"({"type":"array","items":)";
  schema += R"({"type":"string"})";
  for (int i = 0; i < levels; ++i) schema += '}';
  return schema;
}

TEST(Node, DepthLimit) {
  const std::string deepest = translated(nestedArrays(32));
  EXPECT_EQ(deepest.rfind("refused", 0), std::string::npos) << deepest;
  EXPECT_NE(deepest.find(std::string(R"("arrayOf":)") + text), std::string::npos);
  EXPECT_EQ(translated(nestedArrays(33)), unsupported);
  // The depth test comes first: a node past the limit fails the same way whatever it is.
  std::string tooDeepNonObject;
  for (int i = 0; i < 33; ++i) tooDeepNonObject += R"({"type":"array","items":)";
  tooDeepNonObject += "5" + std::string(33, '}');
  EXPECT_EQ(translated(tooDeepNonObject), unsupported);
  // A reference adds no depth and is not followed.
  std::string selfReferencing = R"({"$defs":{"L":{"type":"object","properties":{"next":{"$ref":"#/$defs/L"}}}},)";
  selfReferencing += R"("$ref":"#/$defs/L"})";
  EXPECT_EQ(translated(selfReferencing),
            R"({"root":{"ref":"L"},"dependencies":[{"name":"L","description":null,"properties":[{"name":"next",)"
            R"("description":null,"optional":true,"schema":{"ref":"L"}}]}]})");
}

}  // namespace

namespace {

// `levels` arrays around a union of a reference into another document and an integer.
std::string unionInArrays(int levels) {
  std::string schema = R"({"anyOf":[{"$ref":"a.json"},{"type":"integer"}]})";
  for (int i = 0; i < levels; ++i) schema = R"({"type":"array","items":)" + schema + "}";
  return schema;
}

}  // namespace

// Alternatives that point into another document are dropped, and the first failure in listed
// order is the union's refusal when none is left, whatever else would have failed first.
TEST(Union, AlternativesIntoOtherDocuments) {
  const std::string deepest = unionInArrays(31), tooDeep = unionInArrays(32);
  expectAll({
      {R"({"anyOf":[{"type":"string"},{"$ref":"other.json"}]})",
       rootOnly(R"({"name":"Schema","description":null,"anyOf":[)" + text + "]}")},
      {R"({"anyOf":[{"$ref":"a.json"},{"$ref":"b.json#/x"}]})", outsideReference},
      {R"({"anyOf":[{"type":"nope"},{"$ref":"a.json"}]})", unsupported},
      {R"({"anyOf":[{"$ref":"a.json"},{"type":"nope"}]})", outsideReference},
      // Inlined copies of a definition drop it in each copy.
      {R"({"$defs":{"L":{"type":"array","items":{"anyOf":[{"$ref":"x.json"},{"type":"integer"}]}}},)"
       R"("type":"object","properties":{"a":{"$ref":"#/$defs/L"},"b":{"$ref":"#/$defs/L"}},"required":["a"]})",
       R"({"root":{"name":"Schema","description":null,"properties":[)"
       R"({"name":"a","description":null,"optional":false,"schema":{"arrayOf":{"name":"SchemaAItem",)"
       R"("description":null,"anyOf":[)" + integer + R"(]},"minimumElements":null,"maximumElements":null}},)"
       R"({"name":"b","description":null,"optional":true,"schema":{"arrayOf":{"name":"SchemaBItem",)"
       R"("description":null,"anyOf":[)" + integer + R"(]},"minimumElements":null,"maximumElements":null}}]},)"
       R"("dependencies":[{"arrayOf":{"name":"LItem","description":null,"anyOf":[)" + integer +
           R"(]},"minimumElements":null,"maximumElements":null}]})"},
      // Past the depth limit the depth is refused, not the reference.
      {tooDeep.c_str(), unsupported},
  });
  EXPECT_NE(translated(deepest.c_str()).substr(0, 8), "refused:");
}
