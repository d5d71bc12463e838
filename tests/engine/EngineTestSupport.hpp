// Shorthands for building generation schemas and running the structured generator in tests.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "TarnwickApple/FoundationModels/DynamicGenerationSchema.hpp"
#include "TarnwickApple/FoundationModels/GenerationSchema.hpp"
#include "TarnwickApple/FoundationModels/LanguageModelSession.hpp"
#include "TarnwickApple/Engines/Reference/internal/StructuredGenerator.hpp"
#include "TarnwickApple/Text/Unicode.hpp"

namespace EngineTest {

using namespace TarnwickApple::FoundationModels;
using namespace TarnwickApple::Engines;
using DGS = DynamicGenerationSchema;
using ScalarType = DGS::ScalarType;
using GE = LanguageModelSession::GenerationError;
using Guides = std::vector<GenerationGuide>;

inline DGS text(Guides guides = {}) { return DGS::scalar(ScalarType::string, std::move(guides)); }
inline DGS integer(Guides guides = {}) { return DGS::scalar(ScalarType::integer, std::move(guides)); }
inline DGS number(Guides guides = {}) { return DGS::scalar(ScalarType::number, std::move(guides)); }
inline DGS boolean() { return DGS::scalar(ScalarType::boolean, {}); }
inline DGS ref(std::string name) { return DGS::referenceTo(std::move(name)); }
inline DGS::Property required(std::string name, DGS schema) { return {std::move(name), std::nullopt, std::move(schema), false}; }
inline DGS::Property optional(std::string name, DGS schema) { return {std::move(name), std::nullopt, std::move(schema), true}; }
inline DGS object(std::string name, std::vector<DGS::Property> properties) {
  return DGS::object(std::move(name), std::nullopt, std::move(properties));
}
inline GenerationGuide pattern(const char* expression) {
  return GenerationGuide::pattern(*TarnwickApple::Unicode::Regex::compile(expression));
}

// `prefix` followed by the decimal `number` ("D" and 7 give "D7").
inline std::string numbered(const char* prefix, long long number) {
  std::string name = prefix;
  name += std::to_string(number);
  return name;
}

inline GenerationOptions greedy() { return {SamplingMode::greedy(), std::nullopt, std::nullopt}; }
inline GenerationOptions seeded(std::uint64_t seed) { return {SamplingMode::random(std::int64_t{40}, seed), std::nullopt, std::nullopt}; }
inline GenerationOptions thresholded(std::uint64_t seed) { return {SamplingMode::random(0.9, seed), std::nullopt, std::nullopt}; }

inline GenerationSchema schemaOf(DGS root, std::vector<DGS> dependencies = {}) {
  return GenerationSchema(std::move(root), std::move(dependencies));
}

inline std::string generate(const GenerationSchema& schema, const GenerationOptions& options = {}, AnswerLimits limits = {}) {
  return StructuredGenerator::generate(schema, options, limits);
}

// The failure of a generation, or nothing when it succeeded.
inline std::optional<GE::Case> failure(const GenerationSchema& schema, const GenerationOptions& options = {},
                                       AnswerLimits limits = {}) {
  try {
    generate(schema, options, limits);
  } catch (const GE& error) {
    return error.kind();
  }
  return std::nullopt;
}

}  // namespace EngineTest
