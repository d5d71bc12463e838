// Checks structured answers: one JSON value that conforms to a generation schema, written
// compactly with object members in the schema's property order.
#pragma once

#include <string>
#include <string_view>

#include "TarnwickApple/FoundationModels/GenerationSchema.hpp"

namespace Conformance {

// Empty when `json` conforms; otherwise what is wrong and where (a path such as "$.tags[2]").
std::string problem(std::string_view json, const TarnwickApple::FoundationModels::GenerationSchema& schema);

}  // namespace Conformance
