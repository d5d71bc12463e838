// Reading a canonical schema description back into DynamicGenerationSchema nodes and assembling
// them, the inverse of GenerationSchema's description.
#include "testing/SchemaDescription.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "TarnwickApple/Text/Unicode.hpp"

namespace TarnwickApple::Engines {
namespace {

namespace FM = FoundationModels;
using Node = FM::DynamicGenerationSchema;
using FM::GenerationGuide;

[[noreturn]] void broken(const char* what) { throw DescriptionError(what); }

const JSONValue& member(const JSONValue& object, std::string_view key) {
  const JSONValue* value = object[key];
  if (value == nullptr) broken("a member of a description node is missing");
  return *value;
}

std::string text(const JSONValue& value) {
  const auto content = value.stringValue();
  if (!content) broken("a description text is not a string");
  return std::string(*content);
}

std::optional<std::string> optionalText(const JSONValue& value) {
  if (value.isNull()) return std::nullopt;
  return text(value);
}

JSONElements array(const JSONValue& value) {
  const auto elements = value.arrayValue();
  if (!elements) broken("a description list is not an array");
  return *elements;
}

std::optional<std::int64_t> optionalInteger(const JSONValue& value) {
  if (value.isNull()) return std::nullopt;
  const auto reading = value.integerValue();
  if (!reading) broken("an element count is not an integer");
  return reading;
}

Node::ScalarType scalarType(std::string_view name) {
  if (name == "string") return Node::ScalarType::string;
  if (name == "integer") return Node::ScalarType::integer;
  if (name == "number") return Node::ScalarType::number;
  if (name == "boolean") return Node::ScalarType::boolean;
  broken("an unknown scalar type");
}

// Integer scalars carry 64-bit integer bounds, number scalars doubles.
GenerationGuide::Bound bound(const JSONValue& value, Node::ScalarType type) {
  if (type == Node::ScalarType::integer) {
    if (const auto reading = value.integerValue()) return *reading;
    broken("an integer bound is not an integer");
  }
  if (const auto reading = value.doubleValue()) return *reading;
  broken("a bound is not a number");
}

std::optional<GenerationGuide> guide(const JSONValue& value, Node::ScalarType type) {
  if (value.objectValue() == nullptr || value.objectValue()->size() != 1) broken("a guide is not a one-member object");
  if (const JSONValue* constant = value["constant"]) return GenerationGuide::constant(text(*constant));
  if (const JSONValue* pattern = value["pattern"]) {
    // A pattern the platform's regex refuses gives no guide, as on the way in.
    auto expression = Unicode::Regex::compile(text(*pattern));
    if (!expression) return std::nullopt;
    return GenerationGuide::pattern(std::move(*expression));
  }
  if (const JSONValue* minimum = value["minimum"]) return GenerationGuide::minimum(bound(*minimum, type));
  if (const JSONValue* maximum = value["maximum"]) return GenerationGuide::maximum(bound(*maximum, type));
  if (const JSONValue* range = value["range"]) {
    const JSONElements ends = array(*range);
    if (ends.size() != 2) broken("a range does not have two ends");
    return GenerationGuide::range(bound(ends[0], type), bound(ends[1], type));
  }
  broken("an unknown guide");
}

Node node(const JSONValue& value) {
  if (value.objectValue() == nullptr) broken("a description node is not an object");
  if (const JSONValue* name = value["ref"]) return Node::referenceTo(text(*name));
  if (const JSONValue* choices = value["choices"]) {
    std::vector<std::string> strings;
    for (const JSONValue& choice : array(*choices)) strings.push_back(text(choice));
    return Node::anyOf(text(member(value, "name")), optionalText(member(value, "description")), std::move(strings));
  }
  if (const JSONValue* alternatives = value["anyOf"]) {
    std::vector<Node> nodes;
    for (const JSONValue& alternative : array(*alternatives)) nodes.push_back(node(alternative));
    return Node::anyOf(text(member(value, "name")), optionalText(member(value, "description")), std::move(nodes));
  }
  if (const JSONValue* properties = value["properties"]) {
    std::vector<Node::Property> members;
    for (const JSONValue& property : array(*properties)) {
      const auto optional = member(property, "optional").boolValue();
      if (!optional) broken("a property's optionality is not a boolean");
      members.push_back(Node::Property{text(member(property, "name")), optionalText(member(property, "description")),
                                       node(member(property, "schema")), *optional});
    }
    return Node::object(text(member(value, "name")), optionalText(member(value, "description")), std::move(members));
  }
  if (const JSONValue* element = value["arrayOf"]) {
    return Node::arrayOf(node(*element), optionalInteger(member(value, "minimumElements")),
                         optionalInteger(member(value, "maximumElements")));
  }
  if (const JSONValue* type = value["type"]) {
    const Node::ScalarType scalar = scalarType(text(*type));
    std::vector<GenerationGuide> guides;
    for (const JSONValue& entry : array(member(value, "guides"))) {
      if (auto read = guide(entry, scalar)) guides.push_back(std::move(*read));
    }
    return Node::scalar(scalar, std::move(guides));
  }
  broken("a description node of no known form");
}

}  // namespace

FM::GenerationSchema schemaFromDescription(const JSONValue& description) {
  if (description.objectValue() == nullptr) broken("the description is not an object");
  Node root = node(member(description, "root"));
  std::vector<Node> dependencies;
  for (const JSONValue& dependency : array(member(description, "dependencies"))) dependencies.push_back(node(dependency));
  return FM::GenerationSchema(std::move(root), std::move(dependencies));
}

}  // namespace TarnwickApple::Engines
