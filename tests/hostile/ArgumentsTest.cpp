// Hostile argument lists: thousands of arguments, empty ones and bytes that are not UTF-8. Only
// an argument that is exactly "--probe" takes the probe path; nothing else is looked at.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Hostile.hpp"

namespace {

using namespace Hostile;

constexpr std::size_t manyArguments = 5000;
const std::string probeLine = "{\"available\":true,\"reason\":null}\n";
const std::string echoLine = "{\"status\":\"ok\",\"text\":\"p\"}\n";

TEST(HostileArguments, ThousandsOfArguments) {
  std::vector<std::string> args;
  for (std::size_t i = 0; i < manyArguments; ++i) args.push_back("--arg" + std::to_string(i));
  expectLine(Subprocess::run(sidecar(), args, request("\"p\"")), echoLine);
  args.back() = "--probe";
  expectLine(Subprocess::run(sidecar(), args, request("\"p\"")), probeLine);
  const std::vector<std::string> probes(manyArguments, "--probe");
  expectLine(Subprocess::run(sidecar(), probes, ""), probeLine);
  // One argument near the kernel's limit for a single argument (128 KiB).
  expectLine(Subprocess::run(sidecar(), {std::string((128 << 10) - 1, '-')}, request("\"p\"")), echoLine);
}

TEST(HostileArguments, EmptyAndNonUTF8Arguments) {
  const std::vector<std::vector<std::string>> requestRuns = {
      {""}, {"", "", ""}, {"\xFF\xFE"}, {"\xC0\xAF", "\xED\xA0\x80"}, {"--probe\xFF"}, {"\xEF\xBB\xBF--probe"},
      {"--pro\xC3\xA9"}, {"--probe\n"}, {std::string(1000, '\xFF')}};
  for (const auto& args : requestRuns) {
    SCOPED_TRACE(args.front());
    expectLine(Subprocess::run(sidecar(), args, request("\"p\"")), echoLine);
  }
  for (const auto& args : std::vector<std::vector<std::string>>{{"\xFF", "--probe"}, {"", "--probe", ""},
                                                               {"--probe", "\xC0"}}) {
    expectLine(Subprocess::run(sidecar(), args, request("\"p\"")), probeLine);
  }
}

}  // namespace
