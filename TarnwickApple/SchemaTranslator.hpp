// JSON Schema to generation schema: definitions, references, enumerations, unions, objects,
// arrays and scalars with their guides.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "TarnwickApple/FoundationModels/DynamicGenerationSchema.hpp"
#include "TarnwickApple/FoundationModels/GenerationGuide.hpp"
#include "TarnwickApple/FoundationModels/GenerationSchema.hpp"
#include "TarnwickApple/JSONValue.hpp"
#include "TarnwickApple/Namer.hpp"

namespace TarnwickApple::SchemaTranslator {

// Nodes nested deeper than this are refused.
inline constexpr std::int64_t maximumDepth = 32;

// The whole document. Throws SidecarError.
FoundationModels::GenerationSchema generationSchema(const JSONValue& document);

// One node under its (already unique) name.
FoundationModels::DynamicGenerationSchema schema(const JSONValue& node, const std::string& name,
                                                 Namer& namer, std::int64_t depth);

// The type of a node that is no reference, enumeration or union.
std::string kind(const JSONObject& node);

// The strings of a JSON array that must hold only strings.
std::vector<std::string> strings(const JSONArray& array);

FoundationModels::DynamicGenerationSchema object(const JSONObject& node, const std::string& name,
                                                 const std::optional<std::string>& description,
                                                 Namer& namer, std::int64_t depth);

// `union(_:named:description:namer:depth:)` ("union" is a keyword in C++).
FoundationModels::DynamicGenerationSchema unionOf(const JSONArray& alternatives, const std::string& name,
                                                  const std::optional<std::string>& description,
                                                  Namer& namer, std::int64_t depth);

// Property names in order: the "x-order" names that are properties, then the rest sorted.
std::vector<std::string> order(const JSONObject& properties, const JSONObject& entries);

// A property name in type-name form: "first_name" gives "FirstName".
std::string typeName(const std::string& propertyName);

// Scalar guides.
std::vector<FoundationModels::GenerationGuide> stringGuides(const JSONObject& node);
std::vector<FoundationModels::GenerationGuide> integerGuides(const JSONObject& node);
std::vector<FoundationModels::GenerationGuide> numberGuides(const JSONObject& node);

}  // namespace TarnwickApple::SchemaTranslator
