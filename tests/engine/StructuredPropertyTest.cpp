// Property: for a few hundred generated schemas of every form and guide, under several seeds
// and both sampling modes, the structured answer is JSON that conforms to the schema; and the
// same through the sidecar for JSON Schema documents.
#include <gtest/gtest.h>

#include <random>

#include "TarnwickApple/Engines/Reference/ReferenceEngine.hpp"
#include "EngineTestSupport.hpp"
#include "TarnwickApple/JSON/JSONText.hpp"
#include "TarnwickApple/Schema/SchemaTranslator.hpp"
#include "TarnwickApple/Sidecar.hpp"
#include "support/Conformance.hpp"
#include "support/SchemaDocuments.hpp"

namespace EngineTest {
namespace {

constexpr int schemaCount = 300;
constexpr int documentCount = 80;

// Patterns of the dialect, and constants that each pattern of a pair accepts.
const char* const patterns[] = {R"(\d{3}-\d{4})", "(?:ab|cd)+", R"(\w+@\w+\.com)", "x*y?z{2,}", R"((?:\.|\\)*q)",
                                "a|b|(?:c|d){2}", ".{2,5}", R"(\w{0,3}\d+)", "(?:(?:a)?b)*c", "é+ü?", R"(\(\d\)a??)"};
const std::pair<const char*, const char*> constantPatterns[] = {{"abc", R"(\w+)"}, {"555-1234", R"(\d{3}-\d{4})"}, {"a.b", R"(a\.b)"}};
const char* const constants[] = {"", "plain", "quote \" and \\ slash", "line\nbreak\ttab", "ünïcødé 😀", "\x01"};

// Random generation schemas. Definition i refers to definitions after it anywhere, and to any
// definition below an optional property, an array that may be empty, or a union's later
// alternatives; so every schema has a finite answer.
class SchemaMaker {
 public:
  explicit SchemaMaker(std::uint64_t seed) : random_(seed) {}

  GenerationSchema make() {
    definitions_ = pick(4);
    std::vector<DGS> dependencies;
    for (current_ = 0; current_ < definitions_; ++current_) dependencies.push_back(named(numbered("D", current_), 0, false));
    current_ = -1;
    return GenerationSchema(node(0, false), std::move(dependencies));
  }

 private:
  int pick(int n) { return static_cast<int>(random_() % static_cast<std::uint64_t>(n)); }
  bool chance(int percent) { return pick(100) < percent; }
  std::string fresh() { return numbered("T", names_++); }

  DGS named(const std::string& name, int depth, bool escapable) {
    switch (pick(3)) {
      case 0: return objectNode(name, depth, escapable);
      case 1: return unionNode(name, depth, escapable);
      default: return DGS::anyOf(name, std::nullopt, std::vector<std::string>{"red", "green \"g\"", "blü"});
    }
  }

  DGS node(int depth, bool escapable) {
    const int form = pick(depth >= 3 ? 3 : 7);
    switch (form) {
      case 0: return scalar();
      case 1: {
        const int lowest = escapable || current_ < 0 ? 0 : current_ + 1;
        if (lowest >= definitions_) return scalar();
        return ref(numbered("D", lowest + pick(definitions_ - lowest)));
      }
      case 2: return DGS::anyOf(fresh(), std::nullopt, std::vector<std::string>{"a", "bb", "ccc"});
      case 3: return objectNode(fresh(), depth, escapable);
      case 4: return unionNode(fresh(), depth, escapable);
      default: {
        std::optional<std::int64_t> low, high;
        if (chance(50)) low = pick(3);
        if (chance(50)) high = (low ? *low : 0) + pick(3);
        return DGS::arrayOf(node(depth + 1, escapable || !low || *low == 0), low, high);
      }
    }
  }

  DGS objectNode(const std::string& name, int depth, bool escapable) {
    std::vector<DGS::Property> properties;
    const int count = pick(5);
    for (int i = 0; i < count; ++i) {
      const bool isOptional = chance(40);
      properties.push_back({numbered("p", i) + (chance(20) ? " ü\"" : ""), std::nullopt,
                            node(depth + 1, escapable || isOptional), isOptional});
    }
    return DGS::object(name, std::nullopt, std::move(properties));
  }

  DGS unionNode(const std::string& name, int depth, bool escapable) {
    std::vector<DGS> alternatives{node(depth + 1, escapable)};
    for (int i = pick(3); i > 0; --i) alternatives.push_back(node(depth + 1, true));
    return DGS::anyOf(name, std::nullopt, std::move(alternatives));
  }

  DGS scalar() {
    switch (pick(4)) {
      case 0: {
        switch (pick(4)) {
          case 0: return text();
          case 1: return text({GenerationGuide::constant(constants[pick(std::size(constants))])});
          case 2: return text({pattern(patterns[pick(std::size(patterns))])});
          default: {
            const auto& [constant, expression] = constantPatterns[pick(std::size(constantPatterns))];
            return text({GenerationGuide::constant(constant), pattern(expression)});
          }
        }
      }
      case 1: {
        const std::int64_t edges[] = {INT64_MIN, -1000000, -5, 0, 7, 1000000, INT64_MAX};
        const std::int64_t a = edges[pick(7)], b = edges[pick(7)];
        switch (pick(4)) {
          case 0: return integer();
          case 1: return integer({GenerationGuide::minimum(a)});
          case 2: return integer({GenerationGuide::maximum(a)});
          default: return integer({GenerationGuide::range(std::min(a, b), std::max(a, b))});
        }
      }
      case 2: {
        const double edges[] = {-1e300, -2.5, -0.001, 0.0, 0.1, 3.0, 1e15, 1.7976931348623157e308};
        const double a = edges[pick(8)], b = edges[pick(8)];
        switch (pick(5)) {
          case 0: return number();
          case 1: return number({GenerationGuide::minimum(a)});
          case 2: return number({GenerationGuide::maximum(a)});
          case 3: return number({GenerationGuide::range(std::int64_t{-3}, std::int64_t{4})});
          default: return number({GenerationGuide::range(std::min(a, b), std::max(a, b))});
        }
      }
      default: return boolean();
    }
  }

  std::mt19937_64 random_;
  int definitions_ = 0;
  int current_ = -1;
  int names_ = 0;
};

const GenerationOptions& mode(int index) {
  static const GenerationOptions modes[] = {GenerationOptions{}, greedy(), seeded(1), seeded(2), seeded(977), thresholded(5)};
  return modes[index];
}
constexpr int modeCount = 6;

TEST(StructuredProperty, GeneratedSchemasGetConformingAnswers) {
  for (int s = 0; s < schemaCount; ++s) {
    const GenerationSchema schema = SchemaMaker(static_cast<std::uint64_t>(s)).make();
    for (int m = 0; m < modeCount; ++m) {
      const std::string answer = generate(schema, mode(m));
      ASSERT_EQ(Conformance::problem(answer, schema), "") << "schema " << s << " mode " << m << ": " << schema.description()
                                                          << "\nanswer: " << answer;
      if (m != 0 && m != 1) {
        ASSERT_EQ(generate(schema, mode(m)), answer) << "a seed repeats its answer";
      }
    }
    ASSERT_EQ(generate(schema, greedy()), generate(schema)) << "greedy is canonical";
  }
}


TEST(StructuredProperty, SidecarRepliesConformToTheTranslatedSchema) {
  const char* const options[] = {"", R"(,"options":{"sampling":{"mode":"greedy"}})",
                                 R"(,"options":{"sampling":{"mode":"random","seed":3}})",
                                 R"(,"options":{"sampling":{"mode":"random","top":5,"seed":11}})",
                                 R"(,"options":{"sampling":{"mode":"random","probability_threshold":0.5,"seed":12}})"};
  TarnwickApple::Engines::ReferenceEngine engine;
  for (int d = 0; d < documentCount; ++d) {
    const std::string document = TestSchemas::DocumentMaker(static_cast<std::uint64_t>(d)).make();
    const GenerationSchema schema = TarnwickApple::SchemaTranslator::generationSchema(TarnwickApple::JSONValue::decode(document));
    for (const char* option : options) {
      const auto request = TarnwickApple::Request::decode(
          R"({"prompt":"Describe it.","use_case":"general","guardrails":"default")" + std::string(option) + ",\"schema\":" + document + "}");
      const TarnwickApple::Reply reply = TarnwickApple::Sidecar::generate(request, engine);
      ASSERT_EQ(reply.kind, TarnwickApple::Reply::Case::ok) << document << "\n" << reply.line();
      ASSERT_EQ(Conformance::problem(reply.text, schema), "") << document << "\n" << reply.line();
    }
  }
}

}  // namespace
}  // namespace EngineTest
