// What every run of an executable must show a parent: exactly the expected stdout, nothing on
// stderr, a normal exit with the expected status.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/Subprocess.hpp"

inline void expectCleanExit(const Subprocess::Result& result, int status) {
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.termSignal, 0);
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitStatus, status);
}

// Exactly `line` on stdout (compared without printing megabytes on a mismatch).
inline void expectLine(const Subprocess::Result& result, const std::string& line, int status = 0) {
  if (line.size() > 4096) {
    EXPECT_EQ(result.out.size(), line.size());
    EXPECT_TRUE(result.out == line) << "the line differs from the expected " << line.size() << " bytes";
  } else {
    EXPECT_EQ(result.out, line);
  }
  expectCleanExit(result, status);
}
