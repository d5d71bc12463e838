// Objects and unions: property order, "x-order", "required", nested names, descriptions, null
// alternatives, string choices and numbered alternatives; and the type-name form.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Translate.hpp"
#include "TarnwickApple/Schema/internal/SchemaTranslation.hpp"

namespace {

using namespace SchemaTests;


// A property of the description, without a description of its own.
std::string property(const std::string& name, bool optional, const std::string& schema) {
  return R"({"name":")" + name + R"(","description":null,"optional":)" + (optional ? "true" : "false") +
         R"(,"schema":)" + schema + "}";
}

std::string object(const std::string& name, const std::vector<std::string>& properties) {
  std::string out = R"({"name":")" + name + R"(","description":null,"properties":[)";
  for (std::size_t i = 0; i < properties.size(); ++i) out += (i ? "," : "") + properties[i];
  return out + "]}";
}

std::string emptyObject(const std::string& name) { return object(name, {}); }

TEST(Object, PropertyOrder) {
  expectAll({
      {R"({"type":"object","properties":{"a":{"type":"string"}},"required":["a"]})",
       rootOnly(object("Schema", {property("a", false, text)}))},
      {R"({"type":"object","properties":{"b":{"type":"string"},"a":{"type":"string"},"C":{"type":"string"}}})",
       rootOnly(object("Schema", {property("C", true, text), property("a", true, text), property("b", true, text)}))},
      {R"({"type":"object","x-order":["b","zzz"],"properties":{"a":{"type":"string"},"b":{"type":"string"},"c":{"type":"string"}}})",
       rootOnly(object("Schema", {property("b", true, text), property("a", true, text), property("c", true, text)}))},
      {R"({"type":"object","x-order":["c","a"],"properties":{"a":{"type":"string"},"b":{"type":"string"},"c":{"type":"string"}}})",
       rootOnly(object("Schema", {property("c", true, text), property("a", true, text), property("b", true, text)}))},
      {R"({"type":"object","x-order":"b","properties":{"a":{"type":"string"},"b":{"type":"string"}}})",
       rootOnly(object("Schema", {property("a", true, text), property("b", true, text)}))},
      {R"({"type":"object","x-order":["b",1],"properties":{"a":{"type":"string"},"b":{"type":"string"}}})", unsupported},
      {R"({"type":"object","x-order":[1]})", unsupported},
      // A name listed twice makes the property appear twice, which the assembly refuses.
      {R"({"type":"object","x-order":["a","a"],"properties":{"a":{"type":"string"}}})", unresolved},
  });
}

TEST(Object, RequiredAndTheOrderOfChecks) {
  expectAll({
      {R"({"type":"object","required":["a","nope"],"properties":{"a":{"type":"string"},"b":{"type":"string"}}})",
       rootOnly(object("Schema", {property("a", false, text), property("b", true, text)}))},
      {R"({"type":"object","required":"a","properties":{"a":{"type":"string"}}})",
       rootOnly(object("Schema", {property("a", true, text)}))},
      {R"({"type":"object","required":[1]})", unsupported},
      // "required" is read before the properties are translated, "x-order" too.
      {R"({"type":"object","required":[1],"properties":{"a":"string"}})", unsupported},
      {R"({"type":"object","x-order":[true],"properties":{"a":"string"}})", unsupported},
      {R"({"type":"object","properties":{"a":"string"}})", notObject},
      // Properties are translated in order and the first failure is reported.
      {R"({"type":"object","required":["a"],"properties":{"a":{"type":"null"},"b":5}})", unsupported},
      {R"({"type":"object","x-order":["b"],"properties":{"a":{"type":"null"},"b":5}})", notObject},
  });
}

TEST(Object, NestedNames) {
  expectAll({
      {R"({"type":"object","properties":{"address":{"type":"object"}}})",
       rootOnly(object("Schema", {property("address", true, emptyObject("SchemaAddress"))}))},
      {R"({"type":"object","properties":{"address":{"type":"object","title":"Addr"}}})",
       rootOnly(object("Schema", {property("address", true, emptyObject("Addr"))}))},
      // "aB" sorts before "a_b"; both want "SchemaAB".
      {R"({"type":"object","properties":{"a_b":{"type":"object"},"aB":{"type":"object"}}})",
       rootOnly(object("Schema", {property("aB", true, emptyObject("SchemaAB")),
                                  property("a_b", true, emptyObject("SchemaAB2"))}))},
      {R"({"type":"object","properties":{"_":{"type":"object"},"":{"type":"object"}}})",
       rootOnly(object("Schema", {property("", true, emptyObject("Schema2")), property("_", true, emptyObject("Schema3"))}))},
      // Scalar properties reserve their names too: "a" holds "SchemaA".
      {R"({"type":"object","properties":{"a":{"type":"string"},"b":{"type":"object","title":"SchemaA"}}})",
       rootOnly(object("Schema", {property("a", true, text), property("b", true, emptyObject("SchemaA2"))}))},
      // Names go out depth-first in property order.
      {R"({"type":"object","properties":{"a":{"type":"object","properties":{"x":{"type":"object","title":"SchemaB"}}},"b":{"type":"object"}}})",
       rootOnly(object("Schema", {property("a", true, object("SchemaA", {property("x", true, emptyObject("SchemaB"))})),
                                  property("b", true, emptyObject("SchemaB2"))}))},
      {R"({"title":"T","type":"object","properties":{"first_name":{"enum":["x"]}}})",
       rootOnly(object("T", {property("first_name", true, R"({"name":"TFirstName","description":null,"choices":["x"]})")}))},
  });
}

TEST(Object, DescriptionsReachPropertyAndNestedForm) {
  expectAll({
      {R"({"type":"object","description":"outer","properties":{"e":{"enum":["x"],"description":"pick"},)"
       R"("s":{"type":"string","description":"words"},"n":{"type":"boolean","description":7}}})",
       rootOnly(R"({"name":"Schema","description":"outer","properties":[)"
                R"({"name":"e","description":"pick","optional":true,"schema":{"name":"SchemaE","description":"pick","choices":["x"]}},)"
                R"({"name":"n","description":null,"optional":true,"schema":)" + boolean + "},"
                R"({"name":"s","description":"words","optional":true,"schema":)" + text + "}]}")},
  });
}

TEST(Object, PropertyNamesKeepTheirSpelling) {
  // Canonically equal keys are one property; the name is the key as written, and "required"
  // and "x-order" match it after composition.
  expectAll({
      {"{\"type\":\"object\",\"required\":[\"e\\u0301\"],\"x-order\":[\"b\",\"\\u00e9\"],"
       "\"properties\":{\"\\u00e9\":{\"type\":\"string\"},\"b\":{\"type\":\"string\"}}}",
       rootOnly(object("Schema", {property("b", true, text), property("\u00e9", false, text)}))},
  });
}

TEST(Union, NullAlternativesAndSingleAlternatives) {
  expectAll({
      {R"({"anyOf":[{"type":"string"},{"type":"null"}]})", rootOnly(text)},
      {R"({"anyOf":[{"type":"null"}]})", unsupported},
      {R"({"anyOf":[]})", unsupported},
      {R"({"anyOf":[{"const":"a"}]})", rootOnly(R"({"type":"string","guides":[{"constant":"a"}]})")},
      // The one alternative takes the union's name and its own description.
      {R"({"title":"U","description":"outer","anyOf":[{"type":"object","description":"inner"},{"type":"null"}]})",
       rootOnly(R"({"name":"U","description":"inner","properties":[]})")},
      {R"({"title":"U","description":"outer","anyOf":[{"type":"object","title":"Other"}]})",
       rootOnly(R"({"name":"U","description":null,"properties":[]})")},
      // An alternative that does not translate is left out; with none left the first failure stands.
      {R"({"anyOf":[5,{"type":"string"}]})", rootOnly(R"({"name":"Schema","description":null,"anyOf":[)" + text + "]}")},
      {R"({"anyOf":[5,{"type":["null"]}]})", notObject},
      // A "type" array holding "null" is no null alternative.
      {R"({"anyOf":[{"type":["null","boolean"]},{"type":"null"}]})", rootOnly(boolean)},
  });
}

TEST(Union, StringChoices) {
  expectAll({
      {R"({"description":"d","anyOf":[{"const":"a","description":"x"},{"const":"b","title":"B"},{"type":"null"}]})",
       rootOnly(R"({"name":"Schema","description":"d","choices":["a","b"]})")},
      // A string choice asks for no alternative names: "SchemaPChoice1" stays free.
      {R"({"type":"object","properties":{"p":{"anyOf":[{"const":"a"},{"const":"b"}]},"q":{"title":"SchemaPChoice1","type":"object"}}})",
       rootOnly(object("Schema", {property("p", true, R"({"name":"SchemaP","description":null,"choices":["a","b"]})"),
                                  property("q", true, emptyObject("SchemaPChoice1"))}))},
  });
}

TEST(Union, NumberedAlternatives) {
  expectAll({
      {R"({"title":"Value","anyOf":[{"const":"a"},{"type":"string"}]})",
       rootOnly(R"({"name":"Value","description":null,"anyOf":[{"type":"string","guides":[{"constant":"a"}]},)" + text +
                "]}")},
      // The nulls take no number; titles replace the wanted name.
      {R"({"title":"Value","description":"v","oneOf":[{"type":"null"},{"type":"object"},{"type":"null"},{"type":"object"},)"
       R"({"title":"Named","type":"object"}]})",
       rootOnly(R"({"name":"Value","description":"v","anyOf":[)" + emptyObject("ValueChoice1") + "," +
                emptyObject("ValueChoice2") + "," + emptyObject("Named") + "]}")},
      // Scalar alternatives hold their names: a later "ValueChoice1" is numbered.
      {R"({"title":"Value","anyOf":[{"type":"integer"},{"type":"object","properties":{"x":{"type":"object","title":"ValueChoice1"}}}]})",
       rootOnly(R"({"name":"Value","description":null,"anyOf":[)" + integer + "," +
                object("ValueChoice2", {property("x", true, emptyObject("ValueChoice12"))}) + "]}")},
      // Alternatives are translated in order; the first failure wins.
      {R"({"anyOf":[{"type":"null"},{"type":"date"},5]})", unsupported},
      {R"({"anyOf":[5,{"type":"date"}]})", notObject},
  });
}

TEST(TypeName, WordsCapitalised) {
  using TarnwickApple::SchemaTranslator::typeName;
  const std::pair<const char*, const char*> table[] = {
      {"first_name", "FirstName"},
      {"x-order", "XOrder"},
      {"2fa code", "2faCode"},
      {"userID", "UserID"},
      {"", ""},
      {"_", ""},
      {"--a--b--", "AB"},
      {"\r\na", "A"},
      {"stra\u00dfe", "Stra\u00dfe"},
      {"\u00dfx y", "SSxY"},                  // full case mapping lengthens
      {"\u00e9lan vital", "\u00c9lanVital"},   // precomposed
      {"e\u0301lan", "E\u0301lan"},            // base letter and combining accent: one character
      {"\u03b1\u03b2-\u03b3", "\u0391\u03b2\u0393"},
      {"\u00bdcup", "\u00bdcup"},              // a numeric character starts a word
      {"\uff11a", "\uff11a"},                  // a fullwidth digit
      {"\U0001F642smile", "Smile"},            // an emoji separates words
      {"\u5317\u4eac", "\u5317\u4eac"},
      {"\u01c6a", "\u01c4a"},                  // dž upper-cases to DŽ, not the title case Dž
  };
  for (const auto& [name, expected] : table) {
    SCOPED_TRACE(name);
    EXPECT_EQ(typeName(name), expected);
  }
}

TEST(Order, ListedThenTheRest) {
  using TarnwickApple::JSONValue;
  const JSONValue node = JSONValue::decode(
      R"({"x-order":["c","zzz","a","c"],"properties":{"a":{},"B":{},"c":{},"b":{}}})");
  const auto& entries = *node.objectValue();
  const auto& properties = *node["properties"]->objectValue();
  TarnwickApple::Namer namer;
  TarnwickApple::SchemaTranslator::Context context(namer);
  EXPECT_EQ(TarnwickApple::SchemaTranslator::order(properties, entries, context),
            (std::vector<std::string>{"c", "a", "c", "B", "b"}));
}

}  // namespace
