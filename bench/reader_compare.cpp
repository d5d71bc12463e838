// The JSON reader against the nlohmann reader it replaced, in one run, alternating: a minimal
// request, a 1 MiB prompt, and the schema checker's in-process work (decode, translate, describe)
// over a generated corpus of realistic schemas. Prints MB/s and per-schema percentiles.
// Usage: bench_reader_compare [schemas] [repetitions]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "TarnwickApple/JSON/JSONValue.hpp"
#include "TarnwickApple/Schema/SchemaTranslator.hpp"
#include "TarnwickApple/Protocol/Wire.hpp"
#include "baseline/NlohmannReader.hpp"

namespace {

using TarnwickApple::JSONValue;
using Clock = std::chrono::steady_clock;

// A generator of JSON Schema documents as people write them: pretty-printed, described, with
// wide objects, nesting, definitions and references, enumerations, formats and patterns.
class SchemaWriter {
 public:
  explicit SchemaWriter(std::uint32_t seed) : random_(seed) {}

  std::string schema() {
    out_.clear();
    const int shape = pick(4);
    open();
    line("\"$schema\": \"https://json-schema.org/draft/2020-12/schema\",");
    line("\"title\": \"" + words(3) + "\",");
    line("\"description\": \"" + words(12) + "\",");
    if (shape == 2 || shape == 3) definitions(4 + pick(shape == 3 ? 120 : 30));
    line("\"type\": \"object\",");
    object(shape == 0 ? 20 + pick(300) : 4 + pick(20), shape == 1 ? 6 + pick(20) : 2 + pick(3));
    close(false);
    return out_;
  }

 private:
  int pick(int n) { return static_cast<int>(random_() % static_cast<std::uint32_t>(n)); }
  std::string name() {
    static const char* parts[] = {"user", "order", "item", "address", "price", "created", "status", "note",
                                  "count", "label", "owner", "region", "code", "limit", "tag", "source"};
    std::string name = parts[pick(16)];
    name += '_';
    name += parts[pick(16)];
    name += std::to_string(pick(100));
    return name;
  }
  std::string words(int n) {
    static const char* dictionary[] = {"the", "value", "of", "each", "entry", "must", "be", "a", "valid",
                                       "identifier", "for", "this", "record", "in", "ISO", "format", "when", "set"};
    std::string text;
    for (int i = 0; i < n; ++i) {
      if (i) text += ' ';
      text += dictionary[pick(18)];
    }
    return text;
  }
  void line(const std::string& text) { out_ += std::string(indent_ * 2, ' ') + text + "\n"; }
  void open() { line("{"), ++indent_; }
  void close(bool comma) {
    if (out_.size() >= 2 && out_[out_.size() - 2] == ',') out_.erase(out_.size() - 2, 1);
    --indent_;
    line(comma ? "}," : "}");
  }

  void scalar() {
    switch (pick(7)) {
      case 0: line("\"type\": \"string\", \"maxLength\": " + std::to_string(8 + pick(200)) + ","); break;
      case 1: line("\"type\": \"string\", \"pattern\": \"^[A-Z]{2}-[0-9]{" + std::to_string(2 + pick(6)) + "}$\","); break;
      case 2: line("\"type\": \"integer\", \"minimum\": 0, \"maximum\": " + std::to_string(pick(100000)) + ","); break;
      case 3: line("\"type\": \"number\", \"exclusiveMinimum\": 0.5, \"multipleOf\": 0.25,"); break;
      case 4: line("\"enum\": [\"pending\", \"active\", \"closed\", \"archived\"],"); break;
      case 5: line("\"type\": \"boolean\", \"default\": false,"); break;
      default: line("\"type\": \"string\", \"format\": \"date-time\","); break;
    }
    line("\"description\": \"" + words(6 + pick(10)) + "\",");
  }

  void object(int properties, int depth) {
    line("\"properties\": {"), ++indent_;
    std::vector<std::string> names;
    for (int i = 0; i < properties; ++i) {
      names.push_back(name() + std::to_string(i));
      line("\"" + names.back() + "\": {"), ++indent_;
      const int form = pick(10);
      if (depth > 0 && form == 0) {
        line("\"type\": \"object\",");
        object(2 + pick(6), depth - 1);
      } else if (depth > 0 && form == 1) {
        line("\"type\": \"array\", \"minItems\": 0, \"maxItems\": " + std::to_string(1 + pick(20)) + ",");
        line("\"items\": {"), ++indent_;
        line("\"type\": \"object\",");
        object(2 + pick(5), depth - 1);
        close(true);
      } else if (!definitions_.empty() && form == 2) {
        line("\"$ref\": \"#/$defs/" + definitions_[pick(static_cast<int>(definitions_.size()))] + "\",");
      } else {
        scalar();
      }
      close(true);
    }
    close(true);
    std::string required;
    for (std::size_t i = 0; i < names.size(); i += 3) required += (required.empty() ? "\"" : ", \"") + names[i] + "\"";
    line("\"required\": [" + required + "],");
    line("\"additionalProperties\": false,");
  }

  void definitions(int count) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.push_back("Def" + std::to_string(i));
    line("\"$defs\": {"), ++indent_;
    for (int i = 0; i < count; ++i) {
      definitions_.assign(names.begin() + i + 1, names.end());  // references point forwards only
      line("\"" + names[i] + "\": {"), ++indent_;
      line("\"type\": \"object\",");
      object(3 + pick(8), 1);
      close(true);
    }
    close(true);
    definitions_ = names;
  }

  std::mt19937 random_;
  std::string out_;
  int indent_ = 0;
  std::vector<std::string> definitions_;
};

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Times `repetitions` calls of each reader on one input, alternating; returns each one's times.
std::pair<std::vector<double>, std::vector<double>> alternate(int repetitions, const std::function<void()>& before,
                                                              const std::function<void()>& after) {
  std::vector<double> b, a;
  for (int i = 0; i < repetitions; ++i) {
    auto start = Clock::now();
    before();
    b.push_back(seconds(Clock::now() - start));
    start = Clock::now();
    after();
    a.push_back(seconds(Clock::now() - start));
  }
  return {b, a};
}

double percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

void reportInput(const char* what, const std::string& text, int repetitions) {
  const auto [b, a] = alternate(repetitions, [&] { (void)Baseline::decode(text); }, [&] { (void)JSONValue::decode(text); });
  const double mb = static_cast<double>(text.size()) / 1e6;
  const double before = percentile(b, 0.5), after = percentile(a, 0.5);
  std::printf("%-22s %9zu bytes  nlohmann %10.3f us %8.1f MB/s   simdjson %10.3f us %8.1f MB/s   speed-up %.2f\n", what,
              text.size(), before * 1e6, mb / before, after * 1e6, mb / after, before / after);
}

// The checker's in-process work on one schema with the given reader.
template <typename Decode>
void check(const std::string& text, Decode decode) {
  try {
    const JSONValue document = decode(text);
    std::string line;
    TarnwickApple::SchemaTranslator::generationSchema(document).appendDescription(line);
  } catch (...) {
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int schemas = argc > 1 ? std::atoi(argv[1]) : 400;
  const int repetitions = argc > 2 ? std::atoi(argv[2]) : 21;

  const std::string minimal = R"({"prompt":"Name three birds.","use_case":"general","guardrails":"default"})";
  std::string prompt;
  for (int i = 0; i < (1 << 20); ++i) prompt += "The quick brown fox jumps over the lazy dog. "[i % 45];
  const std::string megabyte = R"({"prompt":")" + prompt + R"(","use_case":"general","guardrails":"default"})";
  reportInput("minimal request", minimal, 20001);
  reportInput("1 MiB prompt", megabyte, 201);

  std::vector<std::string> corpus;
  std::size_t corpusBytes = 0;
  for (int i = 0; i < schemas; ++i) {
    corpus.push_back(SchemaWriter(static_cast<std::uint32_t>(i)).schema());
    corpusBytes += corpus.back().size();
  }
  // Per schema: the median of its alternating repetitions, for each reader.
  std::vector<double> checkBefore, checkAfter, decodeBefore, decodeAfter;
  for (const std::string& text : corpus) {
    auto [cb, ca] = alternate(repetitions, [&] { check(text, Baseline::decode); }, [&] { check(text, JSONValue::decode); });
    auto [db, da] = alternate(repetitions, [&] { (void)Baseline::decode(text); }, [&] { (void)JSONValue::decode(text); });
    checkBefore.push_back(percentile(cb, 0.5));
    checkAfter.push_back(percentile(ca, 0.5));
    decodeBefore.push_back(percentile(db, 0.5));
    decodeAfter.push_back(percentile(da, 0.5));
  }
  const auto sum = [](const std::vector<double>& v) { double s = 0; for (double x : v) s += x; return s; };
  std::printf("schema corpus: %d schemas, %.2f MB, %zu to %zu bytes each\n", schemas, static_cast<double>(corpusBytes) / 1e6,
              std::min_element(corpus.begin(), corpus.end(), [](auto& x, auto& y) { return x.size() < y.size(); })->size(),
              std::max_element(corpus.begin(), corpus.end(), [](auto& x, auto& y) { return x.size() < y.size(); })->size());
  const double mb = static_cast<double>(corpusBytes) / 1e6;
  std::printf("decode only:   nlohmann %8.1f MB/s   simdjson %8.1f MB/s   speed-up %.2f\n", mb / sum(decodeBefore),
              mb / sum(decodeAfter), sum(decodeBefore) / sum(decodeAfter));
  std::printf("checker total: nlohmann %8.2f ms   simdjson %8.2f ms   speed-up %.2f   (decoding was %.0f%% of it)\n",
              sum(checkBefore) * 1e3, sum(checkAfter) * 1e3, sum(checkBefore) / sum(checkAfter),
              100 * sum(decodeBefore) / sum(checkBefore));
  for (double p : {0.5, 0.9, 0.99}) {
    const double before = percentile(checkBefore, p), after = percentile(checkAfter, p);
    std::printf("checker p%-3.0f per schema: nlohmann %9.1f us   simdjson %9.1f us   speed-up %.2f\n", p * 100, before * 1e6,
                after * 1e6, before / after);
  }
  for (double p : {0.5, 0.99}) {
    const double before = percentile(decodeBefore, p), after = percentile(decodeAfter, p);
    std::printf("decode  p%-3.0f per schema: nlohmann %9.1f us   simdjson %9.1f us   speed-up %.2f\n", p * 100, before * 1e6,
                after * 1e6, before / after);
  }
}
