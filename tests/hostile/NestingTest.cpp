// Deep nesting through the executables: beyond the reader's limit a document is malformed,
// beyond the translator's depth limit a schema is refused, and nothing overflows the stack.
#include <gtest/gtest.h>

#include <string>

#include "Hostile.hpp"
#include "TarnwickApple/JSON/JSONValue.hpp"
#include "TarnwickApple/Schema/SchemaTranslator.hpp"

namespace {

using namespace Hostile;

constexpr std::size_t hostileDepth = 100000;
constexpr std::size_t readerLimit = TarnwickApple::JSONValue::maximumNesting;
constexpr std::size_t translatorLimit = TarnwickApple::SchemaTranslator::maximumDepth;

// `levels` objects nested through "properties" (two JSON levels each) around a string schema.
std::string propertiesNest(std::size_t levels) {
  return nested(levels, R"({"type":"object","required":["p"],"properties":{"p":)", R"({"type":"string"})", "}}");
}
// `levels` arrays nested through "items" (one JSON level each) around an integer schema.
std::string itemsNest(std::size_t levels) {
  return nested(levels, R"({"type":"array","maxItems":1,"items":)", R"({"type":"integer"})", "}");
}

TEST(HostileNesting, HundredThousandDeepIsMalformedWherever) {
  const std::string cases[] = {
      withSchema(nested(hostileDepth, "[", "", "]")),
      withSchema(nested(hostileDepth, R"({"a":)", "1", "}")),
      withSchema(propertiesNest(hostileDepth)),
      withSchema(itemsNest(hostileDepth)),
      request("\"p\"", ",\"ignored\":" + nested(hostileDepth, "[{\"x\":", "0", "}]")),
      request(nested(hostileDepth, "[", "\"p\"", "]")),
      withSchema(std::string(hostileDepth, '[')),  // never closed
      std::string(hostileDepth, '{'),
  };
  for (const std::string& input : cases) {
    SCOPED_TRACE(input.substr(0, 80));
    expectLine(Subprocess::run(sidecar(), {}, input), malformedLine);
  }
}

TEST(HostileNesting, ReaderLimitCountsTheRequestObject) {
  // The request object is one level, so the schema may hold one level less than the limit.
  expectLine(Subprocess::run(sidecar(), {}, withSchema(nested(readerLimit - 1, "[", "", "]"))), schemaNotObjectLine);
  expectLine(Subprocess::run(sidecar(), {}, withSchema(nested(readerLimit, "[", "", "]"))), malformedLine);
  expectLine(Subprocess::run(schemaChecker(), {}, nested(readerLimit, "[", "", "]")), schemaNotObjectLine, 1);
  expectLine(Subprocess::run(schemaChecker(), {}, nested(readerLimit + 1, "[", "", "]")), schemaNotJSONLine, 2);
}

TEST(HostileNesting, TranslatorDepthLimitInPropertiesAndItems) {
  // Within the reader's limit but beyond the translator's: its failure line, not a crash.
  for (const std::string& schema : {propertiesNest(translatorLimit + 1), itemsNest(translatorLimit + 1),
                                    propertiesNest((readerLimit - 4) / 2), itemsNest(readerLimit - 4)}) {
    SCOPED_TRACE(schema.size());
    expectLine(Subprocess::run(sidecar(), {}, withSchema(schema)), unsupportedConstructLine);
    expectLine(Subprocess::run(schemaChecker(), {}, schema), unsupportedConstructLine, 1);
  }
  // At the limit itself the schema is answered: the innermost value sits 32 levels down.
  const auto deepest = Subprocess::run(sidecar(), {}, withSchema(propertiesNest(translatorLimit)));
  expectOneLine(deepest);
  EXPECT_EQ(deepest.out.rfind(R"({"status":"ok","text":"{\"p\":{\"p\":)", 0), 0u) << deepest.out.substr(0, 200);
  const auto items = Subprocess::run(sidecar(), {}, withSchema(itemsNest(translatorLimit)));
  expectOneLine(items);
  EXPECT_EQ(items.out.rfind(R"({"status":"ok","text":")", 0), 0u) << items.out.substr(0, 200);
  // A checker run over the hostile depth is refused as not JSON, never a crash.
  expectLine(Subprocess::run(schemaChecker(), {}, propertiesNest(hostileDepth)), schemaNotJSONLine, 2);
}

}  // namespace
