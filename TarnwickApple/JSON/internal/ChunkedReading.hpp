// The JSON reader with the positions it holds at once as a parameter, so that tests can read
// small texts in chunks as large ones are read.
#pragma once

#include <cstddef>
#include <string_view>

#include "TarnwickApple/JSON/JSONValue.hpp"

namespace TarnwickApple::internal {

// JSONValue::decode, holding at most `chunk` positions (at least two) at a time.
JSONValue decodeInChunks(std::string_view text, std::size_t chunk);

}  // namespace TarnwickApple::internal
