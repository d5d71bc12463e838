// Bytes to description for each schema of a file, one compact JSON text a line: for each line,
// the median over R runs of decoding, translating and describing it, in nanoseconds, 1 when it
// translates or 0, and the median over R runs of decoding it alone (the reader's share).
// Prints "NANOSECONDS ACCEPTED DECODING_NANOSECONDS" a line, in input order.
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

// One run of the reader alone; the tree is dropped inside the timing, as in `translate`.
void decode(const std::string& text) {
  try {
    const auto document = TarnwickApple::JSONValue::decode(text);
    asm volatile("" : : "r"(&document) : "memory");  // keep the tree
  } catch (const TarnwickApple::JSONValue::DecodeError&) {
  }
}

double median(std::vector<double>& times) {
  std::nth_element(times.begin(), times.begin() + static_cast<std::ptrdiff_t>(times.size() / 2), times.end());
  return times[times.size() / 2];
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
  std::vector<double> decoding(static_cast<std::size_t>(runs));
  while (std::getline(input, line)) {
    bool accepted = false;
    for (std::size_t run = 0; run < times.size(); ++run) {  // the whole step and the reader alone, alternately
      auto start = Clock::now();
      accepted = translate(line);
      times[run] = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
      start = Clock::now();
      decode(line);
      decoding[run] = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
    }
    std::printf("%.0f %d %.0f\n", median(times), accepted ? 1 : 0, median(decoding));
  }
  return 0;
}
