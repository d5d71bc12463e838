// Scalar guides: numeric bounds with their exclusive adjustments and failures, string constants
// and patterns.
#include <gtest/gtest.h>

#include <variant>

#include "TarnwickApple/JSON/JSONValue.hpp"
#include "TarnwickApple/Schema/internal/SchemaTranslation.hpp"
#include "TarnwickApple/Errors/SidecarError.hpp"

namespace TarnwickApple::SchemaTranslator {
namespace {

using FoundationModels::GenerationGuide;
using Guides = std::vector<GenerationGuide>;
using Operation = Guides (*)(const Keywords&, Context&);

JSONObject object(const char* json) { return *JSONValue::decode(json).objectValue(); }

// The guides of one node translated alone: a context of its own, with nothing recording.
Guides guided(Operation operation, const JSONObject& node) {
  Namer namer;
  Context context(namer);
  return operation(node, context);
}

struct Case {
  const char* schema;
  std::variant<Guides, SidecarError> expected;
};

void expectGuides(Operation operation, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    const JSONObject node = object(c.schema);
    if (const auto* guides = std::get_if<Guides>(&c.expected)) {
      EXPECT_EQ(guided(operation, node), *guides) << c.schema;
    } else {
      try {
        guided(operation, node);
        ADD_FAILURE() << "no failure for " << c.schema;
      } catch (const SidecarError& error) {
        EXPECT_EQ(error, std::get<SidecarError>(c.expected)) << c.schema;
      }
    }
  }
}

constexpr std::int64_t i(std::int64_t v) { return v; }
const SidecarError& unsupported = SidecarError::unsupportedConstruct;
const SidecarError& inverted = SidecarError::invertedBounds;

TEST(IntegerGuides, BoundsAndExclusiveAdjustments) {
  expectGuides(integerGuides, {
      {R"({"minimum": 1, "maximum": 10})", Guides{GenerationGuide::range(i(1), i(10))}},
      {R"({"exclusiveMinimum": 0, "exclusiveMaximum": 10})", Guides{GenerationGuide::range(i(1), i(9))}},
      {R"({"minimum": 5, "maximum": 5})", Guides{GenerationGuide::range(i(5), i(5))}},
      {R"({"minimum": -3})", Guides{GenerationGuide::minimum(i(-3))}},
      {R"({"exclusiveMaximum": 0})", Guides{GenerationGuide::maximum(i(-1))}},
      {R"({"minimum": 1, "exclusiveMinimum": "x"})", Guides{GenerationGuide::minimum(i(1))}},
      {R"({"maximum": 3, "exclusiveMaximum": null})", Guides{GenerationGuide::maximum(i(3))}},
      {R"({"minimum": 1e3})", Guides{GenerationGuide::minimum(i(1000))}},
      {R"({"type": "integer", "pattern": "x", "const": 3})", Guides{}},
      // Draft 4's boolean form qualifies an inclusive bound; alone it bounds nothing.
      {R"({"exclusiveMinimum": true, "exclusiveMaximum": false})", Guides{}},
  });
}

TEST(IntegerGuides, Failures) {
  expectGuides(integerGuides, {
      {R"({"minimum": 6, "maximum": 5})", inverted},
      {R"({"exclusiveMinimum": 5, "exclusiveMaximum": 6})", inverted},
      {R"({"minimum": 2.5})", unsupported},
      {R"({"maximum": null})", unsupported},
      {R"({"minimum": [1]})", unsupported},
      {R"({"exclusiveMinimum": 9223372036854775807})", unsupported},
      {R"({"exclusiveMaximum": -9223372036854775808})", unsupported},
      {R"({"minimum": 9223372036854775808.0})", unsupported},
      // the lower bound is read first, and inversion is tested only once both are settled
      {R"({"minimum": 6, "maximum": "5"})", unsupported},
  });
}

TEST(IntegerGuides, WholeFloatingPointBoundReadsAsInteger) {
  JSONObject node;
  node.insert("minimum", JSONValue::number(2.0));
  EXPECT_EQ(guided(integerGuides, node), Guides{GenerationGuide::minimum(i(2))});
}

TEST(NumberGuides, ExclusiveBoundsKeepTheirValue) {
  expectGuides(numberGuides, {
      {R"({"exclusiveMinimum": 5, "exclusiveMaximum": 6})", Guides{GenerationGuide::range(5.0, 6.0)}},
      {R"({"exclusiveMinimum": 5, "exclusiveMaximum": 5})", Guides{GenerationGuide::range(5.0, 5.0)}},
      {R"({"exclusiveMinimum": 0})", Guides{GenerationGuide::minimum(0.0)}},
      {R"({"maximum": 3})", Guides{GenerationGuide::maximum(3.0)}},
      {R"({"minimum": -0.5, "maximum": 2.25})", Guides{GenerationGuide::range(-0.5, 2.25)}},
      {R"({"minimum": 9223372036854775807})", Guides{GenerationGuide::minimum(9223372036854775808.0)}},
      {R"({})", Guides{}},
  });
}

TEST(NumberGuides, Failures) {
  expectGuides(numberGuides, {
      {R"({"minimum": 1.5, "maximum": 0.5})", inverted},
      {R"({"exclusiveMaximum": "3"})", unsupported},
      {R"({"minimum": {}})", unsupported},
  });
}

TEST(StringGuides, ConstantBeforePattern) {
  const Guides guides = guided(stringGuides, object(R"({"pattern": "^[a-z]+$", "const": "hi"})"));
  ASSERT_EQ(guides.size(), 2u);
  EXPECT_EQ(guides[0], GenerationGuide::constant("hi"));
  ASSERT_EQ(guides[1].kind(), GenerationGuide::Case::pattern);
  EXPECT_EQ(guides[1].expression().pattern(), R"(\w+)");
}

TEST(StringGuides, PatternGuideHoldsTheCompiledRewrittenExpression) {
  const Guides guides = guided(stringGuides, object(R"({"pattern": "^\\d{3}-[0-9]{2}$"})"));
  ASSERT_EQ(guides.size(), 1u);
  const auto& expression = guides[0].expression();
  EXPECT_TRUE(expression.matchesWhole("123-45"));
  EXPECT_FALSE(expression.matchesWhole("123-456"));
  EXPECT_FALSE(expression.matchesWhole("x123-45"));
}

TEST(StringGuides, WhatCannotBeExpressedIsLeftOut) {
  for (const char* schema : {R"({"const": 5})", R"({"pattern": 5})", R"({"pattern": "\\s+"})",
                             R"({"pattern": "(ab"})", R"({"pattern": "x{5,3}"})", R"({"pattern": "^$"})",
                             R"({"minimum": 1})"}) {
    EXPECT_EQ(guided(stringGuides, object(schema)), Guides{}) << schema;
  }
  EXPECT_EQ(guided(stringGuides, object(R"({"const": "a", "pattern": "[^a]"})")), Guides{GenerationGuide::constant("a")});
}

TEST(GenerationGuideEquality, ByCaseAndValue) {
  EXPECT_NE(GenerationGuide::minimum(i(1)), GenerationGuide::minimum(1.0));  // integer and number differ
  EXPECT_NE(GenerationGuide::minimum(i(1)), GenerationGuide::maximum(i(1)));
  EXPECT_NE(GenerationGuide::range(i(1), i(2)), GenerationGuide::range(i(1), i(3)));
  EXPECT_EQ(GenerationGuide::pattern(*Unicode::Regex::compile("a+")), GenerationGuide::pattern(*Unicode::Regex::compile("a+")));
  EXPECT_NE(GenerationGuide::pattern(*Unicode::Regex::compile("a")), GenerationGuide::constant("a"));
}

}  // namespace
}  // namespace TarnwickApple::SchemaTranslator
