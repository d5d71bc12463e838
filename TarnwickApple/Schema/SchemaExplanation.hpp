// Translating a schema with an account of it: what the on-device model will not enforce, and
// for a refusal the place and the reason. The translation itself is the sidecar's, unchanged.
#pragma once

#include <optional>
#include <string>

#include "TarnwickApple/FoundationModels/GenerationSchema.hpp"
#include "TarnwickApple/JSON/JSONValue.hpp"
#include "TarnwickApple/Errors/SidecarError.hpp"
#include "TarnwickApple/Schema/SchemaNote.hpp"

namespace TarnwickApple::SchemaTranslator {

struct Explained {
  std::optional<FoundationModels::GenerationSchema> schema;  // accepted
  std::optional<SidecarError> error;                         // refused: what the sidecar answers
  SchemaNotes notes;              // accepted: in translation order (see the README)
  std::string pointer;            // refused: the schema object where the refusal was raised
  std::string reason;             // refused: why, in one phrase
};

// What `generationSchema` gives or throws for `document`, with its explanation: the translation
// records its notes and refusal in a recorder of its own. Never throws for a refusal. The notes
// hold copies of what they quote, so they outlive `document`.
Explained explained(const JSONValue& document);

}  // namespace TarnwickApple::SchemaTranslator
