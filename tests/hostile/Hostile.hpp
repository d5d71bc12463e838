// Shared pieces of the hostile-input tests: the executables, request builders, the fixed failure
// lines, and the checks every run must pass (one line or none, empty stderr, a status, no signal).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/Expectations.hpp"
#include "support/Subprocess.hpp"

namespace Hostile {

inline std::string sidecar() { return Subprocess::sidecarUnderTest(); }
inline std::string echoSidecar() { return Subprocess::testSidecarPath("echo"); }
inline std::string schemaChecker() { return Subprocess::binaryPath("tarnwick_apple_schema"); }

// The status of a run whose line could not be written.
constexpr int unwritableStatus = 3;

inline std::string failureLine(const std::string& kind, const std::string& message) {
  return "{\"status\":\"error\",\"kind\":\"" + kind + "\",\"message\":\"" + message + "\"}\n";
}
inline const std::string malformedLine =
    failureLine("FoundationModelsError", "the request on stdin could not be decoded into a sidecar request");
inline const std::string contextWindowLine =
    failureLine("ExceededContextWindowSizeError", "the prompt and response exceeded the model's context window");
inline const std::string unsupportedConstructLine =
    failureLine("InvalidGenerationSchemaError", "the schema uses a construct the on-device model cannot express");
inline const std::string schemaNotObjectLine =
    failureLine("InvalidGenerationSchemaError", "the schema is not a JSON object");
inline const std::string schemaNotJSONLine =
    failureLine("FoundationModelsError", "the schema on stdin is not JSON");

// A request around raw JSON text for the prompt (quotes included) and raw extra members.
inline std::string request(const std::string& promptJSON, const std::string& extra = "") {
  return "{\"prompt\":" + promptJSON + ",\"use_case\":\"general\",\"guardrails\":\"default\"" + extra + "}";
}
inline std::string withSchema(const std::string& schemaJSON) {
  return request("\"p\"", ",\"schema\":" + schemaJSON);
}

// `body` wrapped in `depth` pairs of `open` and `close`.
inline std::string nested(std::size_t depth, const std::string& open, const std::string& body,
                          const std::string& close) {
  std::string text;
  text.reserve(depth * (open.size() + close.size()) + body.size());
  for (std::size_t i = 0; i < depth; ++i) text += open;
  text += body;
  for (std::size_t i = 0; i < depth; ++i) text += close;
  return text;
}


// One line, however long: a single line feed, at the end.
inline void expectOneLine(const Subprocess::Result& result, int status = 0) {
  ASSERT_FALSE(result.out.empty());
  EXPECT_EQ(result.out.find('\n'), result.out.size() - 1);
  expectCleanExit(result, status);
}

// Stdout could not be written: nothing anywhere, the unwritable status, no signal death.
inline void expectUnwritable(const Subprocess::Result& result) {
  EXPECT_EQ(result.out, "");
  expectCleanExit(result, unwritableStatus);
}

}  // namespace Hostile
