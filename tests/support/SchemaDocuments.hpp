// Random JSON Schema documents in the accepted subset, for property and differential tests.
#pragma once

#include <cstdint>
#include <iterator>
#include <random>
#include <string>

#include "TarnwickApple/JSON/JSONText.hpp"

namespace TestSchemas {

// Random JSON Schema documents in the accepted subset, written as text.
class DocumentMaker {
 public:
  explicit DocumentMaker(std::uint64_t seed) : random_(seed) {}

  std::string make() {
    std::string defs = R"("$defs":{"Tree":{"type":"object","properties":{"label":{"type":"string"},)"
                       R"("children":{"type":"array","items":{"$ref":"#/$defs/Tree"}}},"required":["label"]},)"
                       R"("Leaf":{"type":"object","properties":{"v":)" + node(2, false) + R"(},"required":["v"]}})";
    std::string root = node(0);
    root.insert(1, defs + (root.size() > 2 ? "," : ""));
    return root;
  }

 private:
  int pick(int n) { return static_cast<int>(random_() % static_cast<std::uint64_t>(n)); }

  // `references`: whether the node may refer to a definition (not inside "Leaf", which would
  // then require itself).
  std::string node(int depth, bool references = true) {
    int form = pick(depth >= 3 ? 4 : 9);
    if (form == 2 && !references) form = 3;
    switch (form) {
      case 0: {
        const char* const strings[] = {R"({"type":"string"})", R"({"type":"string","pattern":"^[a-z]+-\\d{2}$"})",
                                       R"({"type":"string","pattern":"[A-Z][a-z0-9_]*"})", R"({"const":"fixed"})",
                                       R"({"type":["string","null"],"pattern":"^(ab)+c?$"})",
                                       R"({"type":"string","const":"ab","pattern":"^\\w+$"})",
                                       R"({"type":"string","pattern":"^[^a]$"})"};
        return strings[pick(std::size(strings))];
      }
      case 1: {
        const char* const numbers[] = {R"({"type":"integer","minimum":3,"maximum":9})", R"({"type":"integer","exclusiveMinimum":-1})",
                                       R"({"type":"number","exclusiveMaximum":-0.5})", R"({"type":"number","minimum":1e10})",
                                       R"({"type":"boolean"})", R"({"type":"integer","maximum":9223372036854775807})"};
        return numbers[pick(std::size(numbers))];
      }
      case 2: return pick(2) ? R"({"$ref":"#/$defs/Tree"})" : R"({"$ref":"#/$defs/Leaf"})";
      case 3: return R"({"enum":["one","two","three"]})";
      case 4: case 5: {
        std::string out = R"({"type":"object","properties":{)";
        const char* const names[] = {"first_name", "x-order", "2fa code", "id", "ünï", "a"};
        std::string required;
        const int count = 1 + pick(4);
        for (int i = 0; i < count; ++i) {
          const std::string name = std::string(names[(i + pick(2)) % std::size(names)]) + std::to_string(i);
          if (i) out += ',';
          TarnwickApple::JSONText::appendString(out, name);
          out += ':' + node(depth + 1, references);
          if (pick(2)) {
            if (!required.empty()) required += ',';
            TarnwickApple::JSONText::appendString(required, name);
          }
        }
        return out + "},\"required\":[" + required + "]}";
      }
      case 6: {
        const char* const bounds[] = {"", R"(,"minItems":1)", R"(,"maxItems":2)", R"(,"minItems":2,"maxItems":3)"};
        return R"({"type":"array","items":)" + node(depth + 1, references) + bounds[pick(4)] + "}";
      }
      case 7: return R"({"anyOf":[{"const":"x"},{"const":"y"},{"type":"null"}]})";
      default: return R"({"oneOf":[)" + node(depth + 1, references) + "," + node(depth + 1, references) + R"(,{"type":"null"}]})";
    }
  }

  std::mt19937_64 random_;
};

}  // namespace TestSchemas
