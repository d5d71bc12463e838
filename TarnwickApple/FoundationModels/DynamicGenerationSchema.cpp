// Generation schema nodes: one shared immutable record per node, built by the six constructors.
#include "TarnwickApple/FoundationModels/DynamicGenerationSchema.hpp"

#include <stdexcept>
#include <utility>

namespace TarnwickApple::FoundationModels {

std::shared_ptr<const DynamicGenerationSchema::Node> DynamicGenerationSchema::plainScalar(ScalarType type) {
  auto node = std::make_shared<Node>();
  node->form = Form::scalar;
  node->scalarType = type;
  return node;
}

DynamicGenerationSchema::DynamicGenerationSchema(std::shared_ptr<const Node> node) : node_(std::move(node)) {}

DynamicGenerationSchema DynamicGenerationSchema::referenceTo(std::string name) {
  auto node = std::make_shared<Node>();
  node->form = Form::reference;
  node->name = std::move(name);
  return DynamicGenerationSchema(std::move(node));
}

DynamicGenerationSchema DynamicGenerationSchema::anyOf(std::string name, std::optional<std::string> description,
                                                       std::vector<std::string> choices) {
  auto node = std::make_shared<Node>();
  node->form = Form::choices;
  node->name = std::move(name);
  node->description = std::move(description);
  node->choices = std::move(choices);
  return DynamicGenerationSchema(std::move(node));
}

DynamicGenerationSchema DynamicGenerationSchema::anyOf(std::string name, std::optional<std::string> description,
                                                       std::vector<DynamicGenerationSchema> alternatives) {
  auto node = std::make_shared<Node>();
  node->form = Form::anyOf;
  node->name = std::move(name);
  node->description = std::move(description);
  node->alternatives = std::move(alternatives);
  return DynamicGenerationSchema(std::move(node));
}

DynamicGenerationSchema DynamicGenerationSchema::object(std::string name, std::optional<std::string> description,
                                                        std::vector<Property> properties) {
  auto node = std::make_shared<Node>();
  node->form = Form::object;
  node->name = std::move(name);
  node->description = std::move(description);
  node->properties = std::move(properties);
  return DynamicGenerationSchema(std::move(node));
}

DynamicGenerationSchema DynamicGenerationSchema::arrayOf(DynamicGenerationSchema element,
                                                         std::optional<std::int64_t> minimumElements,
                                                         std::optional<std::int64_t> maximumElements) {
  auto node = std::make_shared<Node>();
  node->form = Form::array;
  node->element = std::move(element);
  node->minimumElements = minimumElements;
  node->maximumElements = maximumElements;
  return DynamicGenerationSchema(std::move(node));
}

DynamicGenerationSchema DynamicGenerationSchema::scalar(ScalarType type, std::vector<GenerationGuide> guides) {
  // A scalar without guides is the same for every property that has it: one shared node per
  // type, so a schema of many plain properties costs no node for each.
  if (guides.empty()) {
    static const std::shared_ptr<const Node> plain[] = {plainScalar(ScalarType::string), plainScalar(ScalarType::integer),
                                                        plainScalar(ScalarType::number), plainScalar(ScalarType::boolean)};
    return DynamicGenerationSchema(plain[static_cast<std::size_t>(type)]);
  }
  auto node = std::make_shared<Node>();
  node->form = Form::scalar;
  node->scalarType = type;
  node->guides = std::move(guides);
  return DynamicGenerationSchema(std::move(node));
}

const DynamicGenerationSchema& DynamicGenerationSchema::element() const {
  if (!node_->element) throw std::logic_error("element() of a schema that is no array");
  return *node_->element;
}

}  // namespace TarnwickApple::FoundationModels
