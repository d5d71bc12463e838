// Readable test output for the wire records: gtest prints them as their lines.
#pragma once

#include <ostream>

#include "TarnwickApple/Protocol/Wire.hpp"

namespace TarnwickApple {

inline void PrintTo(const Reply& reply, std::ostream* out) { *out << reply.line(); }
inline void PrintTo(const Probe& probe, std::ostream* out) { *out << probe.line(); }

}  // namespace TarnwickApple
