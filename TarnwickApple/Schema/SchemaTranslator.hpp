// JSON Schema to generation schema: definitions, references, enumerations, unions, objects,
// arrays and scalars with their guides.
#pragma once

#include <cstdint>

#include "TarnwickApple/FoundationModels/GenerationSchema.hpp"
#include "TarnwickApple/JSON/JSONValue.hpp"

namespace TarnwickApple::SchemaTranslator {

// Nodes nested deeper than this are refused.
inline constexpr std::int64_t maximumDepth = 32;

// The whole document. Throws SidecarError.
FoundationModels::GenerationSchema generationSchema(const JSONValue& document);

}  // namespace TarnwickApple::SchemaTranslator
