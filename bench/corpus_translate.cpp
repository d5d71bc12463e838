// Bytes to description for each schema of a file, one compact JSON text a line: for each line,
// the median over R runs of decoding, translating and describing it, in nanoseconds, and 1 when
// it translates or 0. Prints "NANOSECONDS ACCEPTED" a line, in input order.
// Usage: bench_corpus_translate SCHEMAS.txt [runs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "TarnwickApple/JSON/JSONValue.hpp"
#include "TarnwickApple/Schema/SchemaTranslator.hpp"
#include "TarnwickApple/Errors/SidecarError.hpp"

namespace {

using Clock = std::chrono::steady_clock;

// One run: true when the schema translates.
bool translate(const std::string& text) {
  try {
    const auto document = TarnwickApple::JSONValue::decode(text);
    const std::string description = TarnwickApple::SchemaTranslator::generationSchema(document).description();
    return !description.empty();
  } catch (const TarnwickApple::SidecarError&) {
    return false;
  } catch (const TarnwickApple::JSONValue::DecodeError&) {
    return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s SCHEMAS.txt [runs]\n", argv[0]);
    return 2;
  }
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;
  std::ifstream input(argv[1]);
  std::string line;
  std::vector<double> times(static_cast<std::size_t>(runs));
  while (std::getline(input, line)) {
    bool accepted = false;
    for (double& time : times) {
      const auto start = Clock::now();
      accepted = translate(line);
      time = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
    }
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    std::printf("%.0f %d\n", times[static_cast<std::size_t>(runs / 2)], accepted ? 1 : 0);
  }
  return 0;
}
