// Fuzz target: schema translation, assembly and description on any JSON document. Translation
// either answers or refuses with one of its own errors; the description is one line of JSON; the
// explained translation gives the same schema or the same error, with a reason for a refusal,
// and its notes for people take one line each.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Check.hpp"
#include "TarnwickApple/FoundationModels/GenerationSchema.hpp"
#include "TarnwickApple/JSON/JSONValue.hpp"
#include "TarnwickApple/Schema/SchemaExplanation.hpp"
#include "TarnwickApple/Schema/SchemaTranslator.hpp"
#include "TarnwickApple/Errors/SidecarError.hpp"
#include "TarnwickApple/Protocol/Wire.hpp"

namespace {

using namespace TarnwickApple;

bool isTranslationError(const SidecarError& error) {
  return error == SidecarError::schemaNotObject || error == SidecarError::unsupportedConstruct ||
         error == SidecarError::unsupportedReference || error == SidecarError::invertedBounds ||
         error == SidecarError::invalidSchema;
}

// The translation's description, or nothing when it refuses the document.
std::optional<std::string> describe(const JSONValue& document) {
  try {
    const FoundationModels::GenerationSchema schema = SchemaTranslator::generationSchema(document);
    return schema.description();
  } catch (const SidecarError& error) {
    Fuzz::require(isTranslationError(error), "translation refuses only with its own errors", error.message());
  } catch (...) {
    Fuzz::fail("translation throws only SidecarError");
  }
  return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::optional<JSONValue> document;
  try {
    document = JSONValue::decode(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const JSONValue::DecodeError&) {
    return 0;
  }
  const std::optional<std::string> description = describe(*document);
  const SchemaTranslator::Explained explained = SchemaTranslator::explained(*document);
  if (!description) {
    Fuzz::require(!explained.schema && explained.error && !explained.reason.empty(),
                  "an explained refusal has the same outcome and a reason");
    return 0;
  }
  Fuzz::require(explained.schema && explained.schema->description() == *description,
                "explaining does not change the translation", *description);
  // For people each note is one line, whatever names and patterns the document holds.
  CheckLine line = CheckLine::accepted(*description);
  line.notes = explained.notes;
  const std::string text = line.text();
  Fuzz::require(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) == explained.notes.size() + 1,
                "the text form is one line per note and one for the outcome", text);
  Fuzz::require(description->find('\n') == std::string::npos, "the description is one line", *description);
  std::optional<JSONValue> parsed;
  try {
    parsed = JSONValue::decode(*description);
  } catch (const JSONValue::DecodeError&) {
    Fuzz::fail("the description is JSON", *description);
  }
  Fuzz::require(parsed->objectValue() && parsed->objectValue()->size() == 2 && (*parsed)["root"] &&
                    (*parsed)["root"]->objectValue() && (*parsed)["dependencies"] &&
                    (*parsed)["dependencies"]->arrayValue(),
                "the description holds a root object and a dependency list", *description);
  // Nothing in a translation depends on member order or on earlier runs.
  Fuzz::require(describe(*document) == description, "translation is deterministic", *description);
  return 0;
}
