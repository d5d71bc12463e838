// The reference engine's structured answers: each form and guide, determinism and seeds,
// recursion and cycles, and the token limits.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "support/Conformance.hpp"
#include "EngineTestSupport.hpp"
#include "TarnwickApple/Engines/Reference/ReferenceEngine.hpp"
#include "TarnwickApple/Engines/Reference/internal/Tokenizer.hpp"

namespace EngineTest {
namespace {

// Every answer a test looks at also passes the conformance check.
std::string checked(const GenerationSchema& schema, const GenerationOptions& options = {}, AnswerLimits limits = {}) {
  const std::string answer = generate(schema, options, limits);
  EXPECT_EQ(Conformance::problem(answer, schema), "") << answer;
  return answer;
}

std::set<std::string> answersOverSeeds(const GenerationSchema& schema, std::uint64_t seeds = 24) {
  std::set<std::string> answers;
  for (std::uint64_t seed = 1; seed <= seeds; ++seed) answers.insert(checked(schema, seeded(seed)));
  return answers;
}

TEST(StructuredGenerator, GreedyAnswerOfEveryForm) {
  const auto schema = schemaOf(object("Root", {
      required("z", text()),
      required("a", integer({GenerationGuide::minimum(std::int64_t{7})})),
      required("n", number({GenerationGuide::range(2.5, 9.0)})),
      required("flag", boolean()),
      required("pick", DGS::anyOf("Pick", std::nullopt, std::vector<std::string>{"first", "x"})),
      required("either", DGS::anyOf("Either", std::nullopt, std::vector<DGS>{integer(), text()})),
      required("list", DGS::arrayOf(text({GenerationGuide::constant("c\"q")}), 2, 5)),
      optional("more", ref("Item")),
  }), {object("Item", {required("id", text({pattern(R"(\d{3}-\w)")}))})});
  // Listed order, every property, canonical values at or inside their bounds.
  EXPECT_EQ(checked(schema, greedy()),
            R"({"z":"","a":7,"n":2.5,"flag":false,"pick":"first","either":0,"list":["c\"q","c\"q"],"more":{"id":"000-a"}})");
  EXPECT_EQ(checked(schema), checked(schema, greedy())) << "no sampling at all is greedy";
}

TEST(StructuredGenerator, NumbersAndIntegersStayWithinTheirGuides) {
  EXPECT_EQ(checked(schemaOf(integer({GenerationGuide::maximum(std::int64_t{-7})}))), "-7");
  EXPECT_EQ(checked(schemaOf(integer({GenerationGuide::minimum(2.5)}))), "3") << "a fractional bound rounds inward";
  EXPECT_EQ(checked(schemaOf(number({GenerationGuide::minimum(std::int64_t{5})}))), "5.0") << "a number is written as one";
  EXPECT_EQ(checked(schemaOf(number())), "0.0");
  const auto extreme = schemaOf(integer({GenerationGuide::range(INT64_MAX - 1, INT64_MAX)}));
  const auto narrow = schemaOf(number({GenerationGuide::range(-0.25, -0.125)}));
  for (std::uint64_t seed = 1; seed <= 40; ++seed) {
    checked(extreme, seeded(seed));
    checked(narrow, seeded(seed));
  }
  EXPECT_EQ(failure(schemaOf(integer({GenerationGuide::minimum(std::int64_t{3}), GenerationGuide::maximum(std::int64_t{2})}))),
            GE::Case::decodingFailure) << "bounds that exclude each other admit no value";
}

TEST(StructuredGenerator, StringsFollowConstantsAndPatterns) {
  EXPECT_EQ(checked(schemaOf(text({GenerationGuide::constant("a\nb")}))), R"("a\nb")");
  EXPECT_EQ(checked(schemaOf(text({GenerationGuide::constant("555-1234"), pattern(R"(\d{3}-\d{4})")}))), R"("555-1234")");
  // A pattern outside the dialect is still confirmed: its fallback must match.
  EXPECT_EQ(checked(schemaOf(text({pattern("[a-c]+")}))), R"("a")");
  EXPECT_EQ(failure(schemaOf(text({pattern("[x-z]{3}")}))), GE::Case::decodingFailure);
  for (const char* expression : {R"((?:ab|c)+x{3})", R"(\w+@\w+\.com)", R"(.{2,5}|\d*?q)", "é+ü?", R"(\(\d\)a??)"}) {
    const auto schema = schemaOf(text({pattern(expression)}));
    checked(schema);
    EXPECT_GT(answersOverSeeds(schema).size(), 1u) << expression;
  }
}

TEST(StructuredGenerator, ConstantAgainstItsPatternFailsToDecodeUnlessAvoidable) {
  const DGS conflicting = text({GenerationGuide::constant("abc"), pattern("x+")});
  EXPECT_EQ(failure(schemaOf(conflicting)), GE::Case::decodingFailure);
  EXPECT_EQ(failure(schemaOf(object("O", {required("c", conflicting)}))), GE::Case::decodingFailure);
  // Where the schema lets the answer go around it, it does.
  EXPECT_EQ(checked(schemaOf(object("O", {optional("c", conflicting), required("d", boolean())}))), R"({"d":false})");
  EXPECT_EQ(checked(schemaOf(DGS::anyOf("U", std::nullopt, std::vector<DGS>{conflicting, integer()}))), "0");
  EXPECT_EQ(checked(schemaOf(DGS::arrayOf(conflicting, std::nullopt, std::nullopt))), "[]");
}

TEST(StructuredGenerator, ArraysKeepTheirBounds) {
  EXPECT_EQ(checked(schemaOf(DGS::arrayOf(boolean(), 3, 3))), "[false,false,false]");
  EXPECT_EQ(checked(schemaOf(DGS::arrayOf(boolean(), std::nullopt, 0))), "[]");
  EXPECT_EQ(checked(schemaOf(DGS::arrayOf(boolean(), std::nullopt, std::nullopt))), "[false]");
  const auto bounded = schemaOf(DGS::arrayOf(integer(), 1, 3));
  std::set<std::size_t> lengths;
  for (const std::string& answer : answersOverSeeds(bounded)) lengths.insert(std::count(answer.begin(), answer.end(), ',') + 1);
  EXPECT_EQ(lengths, (std::set<std::size_t>{1, 2, 3}));
}

TEST(StructuredGenerator, SeedsReproduceAndDiffer) {
  const auto schema = schemaOf(object("O", {
      optional("maybe", boolean()),
      required("pick", DGS::anyOf("P", std::nullopt, std::vector<std::string>{"a", "b", "c", "d"})),
      required("alt", DGS::anyOf("A", std::nullopt, std::vector<DGS>{boolean(), integer()})),
      required("n", number()),
  }));
  for (std::uint64_t seed : {1ULL, 2ULL, 0xFFFFFFFFFFFFFFFFULL}) {
    EXPECT_EQ(generate(schema, seeded(seed)), generate(schema, seeded(seed)));
    EXPECT_EQ(generate(schema, thresholded(seed)), generate(schema, thresholded(seed)));
  }
  EXPECT_GE(answersOverSeeds(schema).size(), 20u);
  // Each choice and alternative is reachable.
  std::set<char> picks;
  for (const std::string& answer : answersOverSeeds(schema)) picks.insert(answer[answer.find("\"pick\":\"") + 8]);
  EXPECT_EQ(picks.size(), 4u);
  // A schema without any choice has one answer whatever the seed.
  EXPECT_EQ(answersOverSeeds(schemaOf(text({GenerationGuide::constant("k")}))).size(), 1u);
}

TEST(StructuredGenerator, RecursionEndsTheSmallestWay) {
  // A tree whose nodes may have children, and a union that may refer to itself.
  const auto tree = schemaOf(ref("Node"), {object("Node", {required("v", integer()),
                                                          optional("kids", DGS::arrayOf(ref("Node"), std::nullopt, std::nullopt)),
                                                          optional("left", ref("Node")), optional("right", ref("Node"))})});
  const auto selfish = schemaOf(ref("U"), {DGS::anyOf("U", std::nullopt, std::vector<DGS>{ref("U"), ref("W"), boolean()}),
                                           object("W", {required("u", ref("U"))})});
  checked(tree);
  checked(selfish);
  for (std::uint64_t seed = 1; seed <= 30; ++seed) {
    checked(tree, seeded(seed));
    checked(selfish, seeded(seed));
  }
}

TEST(StructuredGenerator, SchemasWithoutAnEndOverflowTheWindow) {
  const auto loop = schemaOf(ref("A"), {object("A", {required("b", ref("B"))}), object("B", {required("a", ref("A"))})});
  EXPECT_EQ(failure(loop), GE::Case::exceededContextWindowSize);
  const auto viaArray = schemaOf(ref("A"), {object("A", {required("xs", DGS::arrayOf(ref("A"), 1, std::nullopt))})});
  EXPECT_EQ(failure(viaArray), GE::Case::exceededContextWindowSize);
  const auto viaUnion = schemaOf(ref("U"), {DGS::anyOf("U", std::nullopt, std::vector<DGS>{ref("U")})});
  EXPECT_EQ(failure(viaUnion), GE::Case::exceededContextWindowSize);
  // The same loop with a way out is fine.
  EXPECT_EQ(checked(schemaOf(ref("A"), {object("A", {optional("b", ref("B"))}), object("B", {required("a", ref("A"))})})),
            R"({"b":{"a":{"b":{"a":{"b":{"a":{}}}}}}})");
}

TEST(StructuredGenerator, LongChainsOfDefinitionsUseNoStackDepth) {
  constexpr int chain = 5000;
  std::vector<DGS> definitions;
  for (int i = 0; i < chain; ++i) {
    definitions.push_back(object(numbered("D", i), {required("n", i + 1 < chain ? ref(numbered("D", i + 1)) : boolean())}));
  }
  const std::string answer = generate(schemaOf(ref("D0"), std::move(definitions)));
  EXPECT_EQ(std::count(answer.begin(), answer.end(), '{'), chain);
  EXPECT_EQ(answer.substr(answer.size() - chain - 5), "false" + std::string(chain, '}'));
}

TEST(StructuredGenerator, TheLimitReachedFirstDecidesTheFailure) {
  const auto schema = schemaOf(text({GenerationGuide::constant("abcd efgh ijkl")}));  // 5 tokens
  EXPECT_EQ(generate(schema, {}, {5, 5}), R"("abcd efgh ijkl")");
  EXPECT_EQ(failure(schema, {}, {4, std::nullopt}), GE::Case::exceededContextWindowSize);
  EXPECT_EQ(failure(schema, {}, {std::nullopt, 4}), GE::Case::decodingFailure);
  EXPECT_EQ(failure(schema, {}, {4, 9}), GE::Case::exceededContextWindowSize);
  EXPECT_EQ(failure(schema, {}, {9, 4}), GE::Case::decodingFailure);
  EXPECT_EQ(failure(schema, {}, {std::nullopt, 0}), GE::Case::decodingFailure);
  EXPECT_EQ(failure(schema, {}, {std::nullopt, -3}), GE::Case::decodingFailure);
}

TEST(StructuredGenerator, GrowthNeverMakesAnAnswerFail) {
  // Optional parts, extra elements and longer alternatives are only taken when they fit.
  const auto schema = schemaOf(object("O", {
      required("k", boolean()), optional("extra", text({GenerationGuide::constant("a long optional text here")})),
      required("xs", DGS::arrayOf(integer(), std::nullopt, std::nullopt)),
      required("u", DGS::anyOf("U", std::nullopt, std::vector<DGS>{text({GenerationGuide::constant("longer alternative")}), boolean()})),
  }));
  const std::string smallest = R"({"k":false,"xs":[],"u":false})";
  const auto tokens = TarnwickApple::Engines::Tokenizer::count(smallest);
  EXPECT_EQ(checked(schema, greedy(), {tokens, std::nullopt}), smallest);
  for (std::uint64_t seed = 1; seed <= 30; ++seed) checked(schema, seeded(seed), {std::nullopt, static_cast<std::int64_t>(tokens)});
  EXPECT_EQ(failure(schema, greedy(), {tokens - 1, std::nullopt}), GE::Case::exceededContextWindowSize);
}

TEST(StructuredGenerator, HugeCountsFailCleanly) {
  const auto manyElements = schemaOf(DGS::arrayOf(boolean(), std::int64_t{1} << 40, std::nullopt));
  EXPECT_EQ(failure(manyElements, {}, {4096, std::nullopt}), GE::Case::exceededContextWindowSize);
  EXPECT_EQ(failure(manyElements, {}, {std::nullopt, 4096}), GE::Case::decodingFailure);
  EXPECT_EQ(failure(manyElements), GE::Case::exceededContextWindowSize) << "no window still bounds the answer's size";
  const auto longText = schemaOf(text({pattern("(?:ab){1000000}")}));
  EXPECT_EQ(failure(longText, {}, {4096, std::nullopt}), GE::Case::exceededContextWindowSize);
  // White space runs are single tokens; the byte limit still stops 25 million blanks.
  const auto blanks = schemaOf(text({pattern("(?: {5000}){5000}")}));
  EXPECT_EQ(failure(blanks, {}, {4096, std::nullopt}), GE::Case::exceededContextWindowSize);
}

TEST(ReferenceEngineStructured, PromptInstructionsAndSchemaShareTheWindow) {
  const auto schema = schemaOf(object("Answer", {required("ok", boolean())}));
  const std::size_t schemaTokens = TarnwickApple::Engines::Tokenizer::count(schema.description());
  const std::size_t answerTokens = TarnwickApple::Engines::Tokenizer::count(R"({"ok":false})");
  constexpr std::size_t window = 400;
  ReferenceEngine engine(window);
  // Prompt "x x x ..." takes one token per "x".
  const auto prompt = [](std::size_t tokens) {
    std::string text = "x";
    for (std::size_t i = 1; i < tokens; ++i) text += " x";
    return text;
  };
  const SessionSettings withInstructions{{}, {}, std::string("abcd"), {}};
  const std::size_t fits = window - schemaTokens - answerTokens - 1;
  EXPECT_EQ(engine.respond(withInstructions, prompt(fits), schema, true, {}), R"({"ok":false})");
  try {
    engine.respond(withInstructions, prompt(fits + 1), schema, true, {});
    ADD_FAILURE() << "the answer does not fit";
  } catch (const GE& error) {
    EXPECT_EQ(error.kind(), GE::Case::exceededContextWindowSize);
  }
  EXPECT_EQ(engine.respond(withInstructions, prompt(fits + 1), schema, false, {}), R"({"ok":false})");
  ReferenceEngine unbounded(0);
  EXPECT_EQ(unbounded.respond({}, prompt(5000), schema, true, {}), R"({"ok":false})");
}

}  // namespace
}  // namespace EngineTest

namespace EngineTest {
namespace {

// The checker itself: a union tried integer-first must not take 159 as the start of 159.0.
TEST(ConformanceCheck, NumbersEndWhereTheirAlternativeEnds) {
  const auto schema = schemaOf(object("Root", {optional("score", DGS::anyOf("Score", std::nullopt, std::vector<DGS>{integer(), number()}))}));
  EXPECT_EQ(Conformance::problem(R"({"score":159.0})", schema), "");
  EXPECT_EQ(Conformance::problem(R"({"score":159})", schema), "");
  const auto whole = schemaOf(object("Root", {required("n", integer())}));
  EXPECT_NE(Conformance::problem(R"({"n":159.0})", whole), "");
  EXPECT_NE(Conformance::problem(R"({"n":1e2})", whole), "");
}

}  // namespace
}  // namespace EngineTest
