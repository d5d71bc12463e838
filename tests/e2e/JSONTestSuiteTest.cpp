// The JSONTestSuite parsing corpus through the executable: accepted, refused, or at least one
// stable line.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/Subprocess.hpp"

namespace {

namespace fs = std::filesystem;

const std::string malformedLine =
    "{\"status\":\"error\",\"kind\":\"FoundationModelsError\",\"message\":\"the request on stdin could not be "
    "decoded into a sidecar request\"}\n";

std::vector<fs::path> documents(const std::string& prefix) {
  std::vector<fs::path> found;
  for (const auto& entry : fs::directory_iterator(fs::path(TARNWICK_TEST_DATA) / "JSONTestSuite" / "test_parsing")) {
    if (entry.path().filename().string().rfind(prefix, 0) == 0) found.push_back(entry.path());
  }
  std::sort(found.begin(), found.end());
  return found;
}

std::string read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string asSchema(const std::string& document) {
  return R"({"prompt":"p","use_case":"general","guardrails":"default","schema":)" + document + "}";
}

bool isOneLine(const std::string& out) { return !out.empty() && out.find('\n') == out.size() - 1; }

TEST(JSONTestSuite, AcceptedDocumentsAreReadAsSchemas) {
  const auto paths = documents("y_");
  ASSERT_GT(paths.size(), 90u);
  for (const auto& path : paths) {
    SCOPED_TRACE(path.filename().string());
    const auto result = Subprocess::run(Subprocess::sidecarUnderTest(), {}, asSchema(read(path)));
    EXPECT_TRUE(isOneLine(result.out));
    EXPECT_NE(result.out, malformedLine);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.exitStatus, 0);
  }
}

TEST(JSONTestSuite, RefusedDocumentsAreMalformed) {
  const auto paths = documents("n_");
  ASSERT_GT(paths.size(), 180u);
  for (const auto& path : paths) {
    SCOPED_TRACE(path.filename().string());
    for (const std::string& input : {read(path), asSchema(read(path))}) {
      const auto result = Subprocess::run(Subprocess::sidecarUnderTest(), {}, input);
      EXPECT_EQ(result.out, malformedLine);
      EXPECT_EQ(result.err, "");
      EXPECT_EQ(result.exitStatus, 0);
    }
  }
}

TEST(JSONTestSuite, ImplementationDefinedDocumentsGiveOneStableLine) {
  const auto paths = documents("i_");
  ASSERT_GT(paths.size(), 20u);
  for (const auto& path : paths) {
    SCOPED_TRACE(path.filename().string());
    const std::string input = asSchema(read(path));
    const auto first = Subprocess::run(Subprocess::sidecarUnderTest(), {}, input);
    const auto second = Subprocess::run(Subprocess::sidecarUnderTest(), {}, input);
    EXPECT_TRUE(isOneLine(first.out));
    EXPECT_EQ(first.out, second.out);
    EXPECT_EQ(first.err, "");
    EXPECT_EQ(first.exitStatus, 0);
  }
}

}  // namespace
