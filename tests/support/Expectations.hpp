// What every run of an executable must show a parent: exactly the expected stdout, nothing on
// stderr, a normal exit with the expected status.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/Subprocess.hpp"

inline void expectLine(const Subprocess::Result& result, const std::string& line, int status) {
  EXPECT_EQ(result.out, line);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.termSignal, 0);
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitStatus, status);
}
