// The framework's schema assembly: what it refuses, what it accepts, named-form lookup, and the
// exact description of every form and guide.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "TarnwickApple/FoundationModels/GenerationSchema.hpp"
#include "TarnwickApple/Text/Unicode.hpp"

namespace {

using namespace TarnwickApple::FoundationModels;
using Schema = DynamicGenerationSchema;
using Case = GenerationSchema::SchemaError::Case;
using ScalarType = Schema::ScalarType;

Schema text() { return Schema::scalar(ScalarType::string, {}); }
Schema choice(const std::string& name) { return Schema::anyOf(name, std::nullopt, std::vector<std::string>{"x"}); }
Schema objectOf(const std::string& name, std::vector<Schema::Property> properties) {
  return Schema::object(name, std::nullopt, std::move(properties));
}
Schema::Property property(const std::string& name, Schema schema) { return {name, std::nullopt, std::move(schema), false}; }

// The refusal's case, or nothing when the schema assembles.
std::optional<Case> refusal(Schema root, std::vector<Schema> dependencies = {}) {
  try {
    GenerationSchema assembled(std::move(root), std::move(dependencies));
    return std::nullopt;
  } catch (const GenerationSchema::SchemaError& error) {
    return error.kind();
  }
}

const std::string precomposed = "\u00e9";
const std::string decomposed = "e\u0301";

TEST(Assembly, References) {
  EXPECT_EQ(refusal(Schema::referenceTo("A")), Case::undefinedReference);
  EXPECT_EQ(refusal(Schema::referenceTo("A"), {choice("A")}), std::nullopt);
  // A scalar dependency has no name to be reached by.
  EXPECT_EQ(refusal(Schema::referenceTo("A"), {text()}), Case::undefinedReference);
  // Forms nested in the root or a dependency are reachable, from anywhere.
  EXPECT_EQ(refusal(objectOf("R", {property("a", choice("Inner")), property("b", Schema::referenceTo("Inner"))})),
            std::nullopt);
  EXPECT_EQ(refusal(Schema::referenceTo("Deep"),
                    {Schema::arrayOf(Schema::anyOf("U", std::nullopt, std::vector<Schema>{choice("Deep"), text()}),
                                     std::nullopt, std::nullopt)}),
            std::nullopt);
  EXPECT_EQ(refusal(Schema::referenceTo("R")), Case::undefinedReference);
  EXPECT_EQ(refusal(objectOf("R", {property("self", Schema::referenceTo("R"))})), std::nullopt);
  // Names compare after composition, and otherwise exactly.
  EXPECT_EQ(refusal(Schema::referenceTo(decomposed), {choice(precomposed)}), std::nullopt);
  EXPECT_EQ(refusal(Schema::referenceTo("a"), {choice("A")}), Case::undefinedReference);
}

TEST(Assembly, DuplicateNames) {
  EXPECT_EQ(refusal(choice("A"), {choice("A")}), Case::duplicateType);
  EXPECT_EQ(refusal(choice("B"), {choice("A"), objectOf("A", {})}), Case::duplicateType);
  EXPECT_EQ(refusal(objectOf("R", {property("a", choice("R"))})), Case::duplicateType);
  EXPECT_EQ(refusal(choice(precomposed), {choice(decomposed)}), Case::duplicateType);
  EXPECT_EQ(refusal(choice("A"), {choice("a")}), std::nullopt);
  EXPECT_EQ(refusal(objectOf("R", {property("a", text()), property("b", text())})), std::nullopt);
  EXPECT_EQ(refusal(objectOf("R", {property("a", text()), property("a", text())})), Case::duplicateProperty);
  EXPECT_EQ(refusal(objectOf("R", {property(precomposed, text()), property(decomposed, text())})),
            Case::duplicateProperty);
  EXPECT_EQ(refusal(objectOf("R", {property(decomposed, text()), property("b", text()), property(precomposed, text())})),
            Case::duplicateProperty);
  // The first fault in property order is the one reported: a faulty schema before the first
  // repetition, else the repetition, whichever name sorts first.
  const Schema empty = Schema::anyOf("E", std::nullopt, std::vector<std::string>{});
  EXPECT_EQ(refusal(objectOf("R", {property("a", text()), property("b", empty), property("a", text())})),
            Case::emptyTypeChoices);
  EXPECT_EQ(refusal(objectOf("R", {property("a", text()), property("a", text()), property("b", empty)})),
            Case::duplicateProperty);
  EXPECT_EQ(refusal(objectOf("R", {property("z", text()), property("a", text()), property("z", text()),
                                   property("c", empty), property("a", text())})),
            Case::duplicateProperty);
  // The same property name on two objects is fine.
  EXPECT_EQ(refusal(objectOf("R", {property("a", objectOf("S", {property("a", text())}))})), std::nullopt);
}

// Around the count where repeats stop being looked for pair by pair: the first fault in property
// order is reported whichever way the names are compared.
TEST(Assembly, RepeatedNamesInLongerObjects) {
  const Schema empty = Schema::anyOf("E", std::nullopt, std::vector<std::string>{});
  for (const std::size_t count : {15u, 16u, 17u, 40u}) {
    const auto names = [&](std::size_t repeatAt, std::size_t emptyAt, const std::string& repeated) {
      std::vector<Schema::Property> properties;
      for (std::size_t i = 0; i < count; ++i) {
        std::string name = "p";
        name += std::to_string(i);
        properties.push_back(property(i == repeatAt ? repeated : name, i == emptyAt ? empty : text()));
      }
      return refusal(objectOf("R", std::move(properties)));
    };
    const std::size_t last = count - 1;
    EXPECT_EQ(names(count, count, ""), std::nullopt) << count;
    EXPECT_EQ(names(last, count, "p3"), Case::duplicateProperty) << count;
    EXPECT_EQ(names(last, last - 1, "p3"), Case::emptyTypeChoices) << count;
    EXPECT_EQ(names(last - 1, last, "p0"), Case::duplicateProperty) << count;
    EXPECT_EQ(names(last, count, std::string("p").append(std::to_string(last - 1))), Case::duplicateProperty) << count;
    EXPECT_EQ(names(last, count, precomposed), std::nullopt) << count;
  }
  // Canonically equal names in a short object repeat too.
  EXPECT_EQ(refusal(objectOf("R", {property("a", text()), property(precomposed, text()), property(decomposed, text())})),
            Case::duplicateProperty);
}

TEST(Assembly, EmptyChoicesAndArrayBounds) {
  EXPECT_EQ(refusal(Schema::anyOf("A", std::nullopt, std::vector<std::string>{})), Case::emptyTypeChoices);
  EXPECT_EQ(refusal(Schema::anyOf("A", std::nullopt, std::vector<Schema>{})), Case::emptyTypeChoices);
  EXPECT_EQ(refusal(text(), {objectOf("O", {property("p", Schema::anyOf("A", std::nullopt, std::vector<Schema>{}))})}),
            Case::emptyTypeChoices);
  EXPECT_EQ(refusal(Schema::anyOf("A", std::nullopt, std::vector<std::string>{"x", "x"})), std::nullopt);
  const auto array = [](std::optional<std::int64_t> minimum, std::optional<std::int64_t> maximum) {
    return refusal(Schema::arrayOf(text(), minimum, maximum));
  };
  EXPECT_EQ(array(std::nullopt, std::nullopt), std::nullopt);
  EXPECT_EQ(array(0, 0), std::nullopt);
  EXPECT_EQ(array(3, 3), std::nullopt);
  EXPECT_EQ(array(std::numeric_limits<std::int64_t>::max(), std::nullopt), std::nullopt);
  EXPECT_EQ(array(4, 3), Case::invalidArrayBounds);
  EXPECT_EQ(array(-1, std::nullopt), Case::invalidArrayBounds);
  EXPECT_EQ(array(std::nullopt, -1), Case::invalidArrayBounds);
  EXPECT_EQ(array(std::numeric_limits<std::int64_t>::min(), 5), Case::invalidArrayBounds);
  // An object with no properties and an object property that is optional are both fine.
  EXPECT_EQ(refusal(objectOf("O", {})), std::nullopt);
}

TEST(Assembly, NamedLookup) {
  const GenerationSchema schema(objectOf("Root", {property("a", choice(precomposed)), property("b", text())}),
                                {Schema::anyOf("U", std::nullopt, std::vector<Schema>{objectOf("Alt", {}), text()})});
  ASSERT_NE(schema.named("Root"), nullptr);
  EXPECT_EQ(schema.named("Root")->form(), Schema::Form::object);
  ASSERT_NE(schema.named(decomposed), nullptr);
  EXPECT_EQ(schema.named(decomposed)->choices(), std::vector<std::string>{"x"});
  EXPECT_EQ(schema.named("U")->form(), Schema::Form::anyOf);
  EXPECT_EQ(schema.named("Alt")->form(), Schema::Form::object);
  EXPECT_EQ(schema.named("root"), nullptr);
  EXPECT_EQ(schema.named(""), nullptr);
}

TEST(Description, EveryFormAndMemberOrder) {
  const GenerationSchema schema(
      Schema::object("Root", "the \"root\"\n",
                     {{"list", "many", Schema::arrayOf(Schema::referenceTo("C"), 1, std::nullopt), true},
                      {"pick", std::nullopt, Schema::anyOf("U", std::nullopt, std::vector<Schema>{text(), choice("C2")}),
                       false}}),
      {Schema::anyOf("C", "d", std::vector<std::string>{"a\\b", "\u00e9", "\x1f"}),
       Schema::scalar(ScalarType::boolean, {})});
  EXPECT_EQ(schema.description(),
            R"({"root":{"name":"Root","description":"the \"root\"\n","properties":[)"
            R"({"name":"list","description":"many","optional":true,"schema":{"arrayOf":{"ref":"C"},"minimumElements":1,"maximumElements":null}},)"
            R"({"name":"pick","description":null,"optional":false,"schema":{"name":"U","description":null,"anyOf":[)"
            R"({"type":"string","guides":[]},{"name":"C2","description":null,"choices":["x"]}]}}]},)"
            R"("dependencies":[{"name":"C","description":"d","choices":["a\\b","é","\u001f"]},{"type":"boolean","guides":[]}]})");
}

TEST(Description, GuidesInTheirScalarsForm) {
  using Guide = GenerationGuide;
  const auto pattern = TarnwickApple::Unicode::Regex::compile("[a-z]+\\d");
  ASSERT_TRUE(pattern);
  const std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
  const GenerationSchema schema(
      Schema::arrayOf(
          Schema::anyOf(
              "U", std::nullopt,
              std::vector<Schema>{
                  Schema::scalar(ScalarType::string, {Guide::constant("q\""), Guide::pattern(*pattern)}),
                  Schema::scalar(ScalarType::integer, {Guide::range(lowest, std::int64_t{9223372036854775807})}),
                  Schema::scalar(ScalarType::integer, {Guide::minimum(std::int64_t{-3})}),
                  Schema::scalar(ScalarType::number, {Guide::range(5.0, 0.1)}),
                  Schema::scalar(ScalarType::number, {Guide::maximum(-0.0)}),
                  Schema::scalar(ScalarType::number, {Guide::minimum(1e21)}),
                  Schema::scalar(ScalarType::number, {Guide::minimum(std::int64_t{3})}),
              }),
          std::nullopt, 2),
      {});
  EXPECT_EQ(schema.description(),
            R"({"root":{"arrayOf":{"name":"U","description":null,"anyOf":[)"
            R"({"type":"string","guides":[{"constant":"q\""},{"pattern":"[a-z]+\\d"}]},)"
            R"({"type":"integer","guides":[{"range":[-9223372036854775808,9223372036854775807]}]},)"
            R"({"type":"integer","guides":[{"minimum":-3}]},)"
            R"({"type":"number","guides":[{"range":[5.0,0.1]}]},)"
            R"({"type":"number","guides":[{"maximum":-0.0}]},)"
            R"({"type":"number","guides":[{"minimum":1e+21}]},)"
            R"({"type":"number","guides":[{"minimum":3.0}]}]},)"
            R"("minimumElements":null,"maximumElements":2},"dependencies":[]})");
}

}  // namespace
