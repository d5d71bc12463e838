// The schema translator's pieces, shared by its own source files and their tests: the node
// dispatcher, objects and unions, property order and names, and scalar guides.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "TarnwickApple/FoundationModels/DynamicGenerationSchema.hpp"
#include "TarnwickApple/FoundationModels/GenerationGuide.hpp"
#include "TarnwickApple/JSONValue.hpp"
#include "TarnwickApple/Namer.hpp"
#include "TarnwickApple/SchemaTranslator.hpp"

namespace TarnwickApple::SchemaTranslator {

// One node under its (already unique) name.
FoundationModels::DynamicGenerationSchema schema(const JSONValue& node, const std::string& name,
                                                 Namer& namer, std::int64_t depth);

// The type of a node that is no reference, enumeration or union.
std::string kind(const JSONObject& node);

// The strings of a JSON array that must hold only strings; `keyword` names it in a refusal.
std::vector<std::string> strings(const JSONArray& array, std::string_view keyword);

FoundationModels::DynamicGenerationSchema object(const JSONObject& node, const std::string& name,
                                                 const std::optional<std::string>& description,
                                                 Namer& namer, std::int64_t depth);

// `union(_:named:description:namer:depth:)` ("union" is a keyword in C++); `keyword` is the
// member the alternatives come from ("anyOf" or "oneOf").
FoundationModels::DynamicGenerationSchema unionOf(const JSONArray& alternatives, std::string_view keyword,
                                                  const std::string& name,
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
