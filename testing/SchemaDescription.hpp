// Rebuilding a generation schema from its canonical description: what the other side of the
// framework boundary does with the request document's "schema".
#pragma once

#include <stdexcept>

#include "TarnwickApple/FoundationModels/GenerationSchema.hpp"
#include "TarnwickApple/JSON/JSONValue.hpp"

namespace TarnwickApple::Engines {

// The value is not a description this layer writes.
struct DescriptionError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The schema `description` describes, node for node. Throws DescriptionError for anything that
// is not a description, and GenerationSchema::SchemaError when the tree does not assemble.
FoundationModels::GenerationSchema schemaFromDescription(const JSONValue& description);

}  // namespace TarnwickApple::Engines
