// One node of a generation schema as the translator builds it: reference, string choice, union,
// object, array or scalar. Immutable; copies share their subtrees.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TarnwickApple/FoundationModels/GenerationGuide.hpp"
#include "TarnwickApple/FoundationModels/OptionalText.hpp"

namespace TarnwickApple::FoundationModels {

class DynamicGenerationSchema {
 public:
  enum class Form { reference, choices, anyOf, object, array, scalar };
  enum class ScalarType { string, integer, number, boolean };
  struct Property;

  // `DynamicGenerationSchema(referenceTo:)`
  static DynamicGenerationSchema referenceTo(std::string name);
  // `DynamicGenerationSchema(name:description:anyOf:)` with fixed strings: a string choice.
  static DynamicGenerationSchema anyOf(std::string name, std::optional<std::string> description,
                                       std::vector<std::string> choices);
  // `DynamicGenerationSchema(name:description:anyOf:)` with schemas: a union.
  static DynamicGenerationSchema anyOf(std::string name, std::optional<std::string> description,
                                       std::vector<DynamicGenerationSchema> alternatives);
  // `DynamicGenerationSchema(name:description:properties:)`
  static DynamicGenerationSchema object(std::string name, std::optional<std::string> description,
                                        std::vector<Property> properties);
  // `DynamicGenerationSchema(arrayOf:minimumElements:maximumElements:)`
  static DynamicGenerationSchema arrayOf(DynamicGenerationSchema element,
                                         std::optional<std::int64_t> minimumElements,
                                         std::optional<std::int64_t> maximumElements);
  // `DynamicGenerationSchema(type:guides:)`
  static DynamicGenerationSchema scalar(ScalarType type, std::vector<GenerationGuide> guides);

  Form form() const;
  // The name of a named form (choices, anyOf, object), or the name a reference points to.
  const std::string& name() const;
  const std::optional<std::string>& description() const;       // named forms
  const std::vector<std::string>& choices() const;              // choices
  const std::vector<DynamicGenerationSchema>& alternatives() const;  // anyOf
  const std::vector<Property>& properties() const;              // object
  const DynamicGenerationSchema& element() const;               // array
  std::optional<std::int64_t> minimumElements() const;          // array
  std::optional<std::int64_t> maximumElements() const;          // array
  ScalarType scalarType() const;                                // scalar
  const std::vector<GenerationGuide>& guides() const;           // scalar

 private:
  struct Node;
  static std::shared_ptr<const Node> plainScalar(ScalarType type);
  explicit DynamicGenerationSchema(std::shared_ptr<const Node> node);
  std::shared_ptr<const Node> node_;
};

// `DynamicGenerationSchema.Property(name:description:schema:isOptional:)`
struct DynamicGenerationSchema::Property {
  std::string name;
  OptionalText description;
  DynamicGenerationSchema schema;
  bool isOptional = false;
};

// Every form's members in one record; a form leaves the members of the others empty. Defined
// here so that the accessors, called for every node by the assembly and the description, inline.
struct DynamicGenerationSchema::Node {
  Form form = Form::scalar;
  std::string name;
  std::optional<std::string> description;
  std::vector<std::string> choices;
  std::vector<DynamicGenerationSchema> alternatives;
  std::vector<Property> properties;
  std::optional<DynamicGenerationSchema> element;  // the array's
  std::optional<std::int64_t> minimumElements;
  std::optional<std::int64_t> maximumElements;
  ScalarType scalarType = ScalarType::string;
  std::vector<GenerationGuide> guides;
};

inline DynamicGenerationSchema::Form DynamicGenerationSchema::form() const { return node_->form; }
inline const std::string& DynamicGenerationSchema::name() const { return node_->name; }
inline const std::optional<std::string>& DynamicGenerationSchema::description() const { return node_->description; }
inline const std::vector<std::string>& DynamicGenerationSchema::choices() const { return node_->choices; }
inline const std::vector<DynamicGenerationSchema>& DynamicGenerationSchema::alternatives() const {
  return node_->alternatives;
}
inline const std::vector<DynamicGenerationSchema::Property>& DynamicGenerationSchema::properties() const {
  return node_->properties;
}
inline std::optional<std::int64_t> DynamicGenerationSchema::minimumElements() const { return node_->minimumElements; }
inline std::optional<std::int64_t> DynamicGenerationSchema::maximumElements() const { return node_->maximumElements; }
inline DynamicGenerationSchema::ScalarType DynamicGenerationSchema::scalarType() const { return node_->scalarType; }
inline const std::vector<GenerationGuide>& DynamicGenerationSchema::guides() const { return node_->guides; }

}  // namespace TarnwickApple::FoundationModels
