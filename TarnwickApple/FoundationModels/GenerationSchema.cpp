// Assembling a generation schema: the checks that it resolves, the lookup of named forms, and
// its canonical one-line description.
#include "TarnwickApple/FoundationModels/GenerationSchema.hpp"

#include <algorithm>
#include <cstdint>
#include <forward_list>
#include <string_view>
#include <utility>
#include <variant>

#include "TarnwickApple/JSON/JSONText.hpp"
#include "TarnwickApple/Text/Unicode.hpp"

namespace TarnwickApple::FoundationModels {

namespace {

using namespace std::string_view_literals;  // fixed pieces appended by their known length

using Form = DynamicGenerationSchema::Form;
using ScalarType = DynamicGenerationSchema::ScalarType;
using SchemaError = GenerationSchema::SchemaError;

using Unicode::isASCII;

// Up to this many property names are checked for repeats pair by pair: fewer steps than sorting
// them, and no allocation.
constexpr std::size_t pairwiseNames = 16;

// Room first made for a description: most schemas' fit, so it is seldom copied as it grows.
constexpr std::size_t descriptionRoom = 1024;

// Walks the trees of a root and its dependencies once, recording every named form by its NFC
// name and every reference, and refusing what can be seen in one node. References are not
// followed, so the walk is as deep as the trees are.
class Assembly {
 public:
  explicit Assembly(std::map<std::string, DynamicGenerationSchema, std::less<>>& named) : named_(named) {}

  void walk(const DynamicGenerationSchema& node) {
    switch (node.form()) {
      case Form::reference:
        references_.push_back(&node.name());
        return;
      case Form::choices:
        record(node);
        if (node.choices().empty()) throw SchemaError(SchemaError::Case::emptyTypeChoices);
        return;
      case Form::anyOf:
        record(node);
        if (node.alternatives().empty()) throw SchemaError(SchemaError::Case::emptyTypeChoices);
        for (const DynamicGenerationSchema& alternative : node.alternatives()) walk(alternative);
        return;
      case Form::object: {
        record(node);
        // The properties before the first repeated name are walked, then the repetition refused,
        // as a walk that met the names one by one would.
        const std::vector<DynamicGenerationSchema::Property>& properties = node.properties();
        const std::size_t repeated = firstRepeatedName(properties);
        for (std::size_t i = 0; i < repeated; ++i) walk(properties[i].schema);
        if (repeated < properties.size()) throw SchemaError(SchemaError::Case::duplicateProperty);
        return;
      }
      case Form::array: {
        const auto minimum = node.minimumElements();
        const auto maximum = node.maximumElements();
        if ((minimum && *minimum < 0) || (maximum && *maximum < 0) || (minimum && maximum && *minimum > *maximum)) {
          throw SchemaError(SchemaError::Case::invalidArrayBounds);
        }
        walk(node.element());
        return;
      }
      case Form::scalar:
        return;
    }
  }

  // The index of the first property whose NFC name an earlier one has, or the count. Indices
  // sorted by (name, index) cost about twenty bytes a property, where a hash set takes over fifty.
  static std::size_t firstRepeatedName(const std::vector<DynamicGenerationSchema::Property>& properties) {
    // A few ASCII names (most objects) are compared pairwise in place, with nothing allocated.
    if (properties.size() <= pairwiseNames &&
        std::all_of(properties.begin(), properties.end(), [](const auto& property) { return isASCII(property.name); })) {
      for (std::size_t i = 1; i < properties.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
          if (properties[i].name == properties[j].name) return i;
        }
      }
      return properties.size();
    }
    // Names already in NFC (all ASCII ones) are compared in place; only the others are
    // normalized into `normalized`, which keeps them alive while `keys` views them.
    std::vector<std::string_view> keys;
    keys.reserve(properties.size());
    std::forward_list<std::string> normalized;  // allocates nothing while empty
    for (const DynamicGenerationSchema::Property& property : properties) {
      std::string_view key = property.name;
      if (!isASCII(key)) {
        std::string form = Unicode::nfc(key);
        if (form != key) key = normalized.emplace_front(std::move(form));
      }
      keys.push_back(key);
    }
    std::vector<std::uint32_t> order(properties.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::uint32_t>(i);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
      return keys[a] != keys[b] ? keys[a] < keys[b] : a < b;
    });
    // In a run of equal names the second is that name's first repetition.
    std::size_t first = properties.size();
    for (std::size_t i = 1; i < order.size(); ++i) {
      if (keys[order[i]] == keys[order[i - 1]]) first = std::min<std::size_t>(first, order[i]);
    }
    return first;
  }

  // Every reference must name a named form somewhere in the schema.
  void resolveReferences() const {
    for (const std::string* name : references_) {
      if (named_.find(Unicode::nfc(*name)) == named_.end()) throw SchemaError(SchemaError::Case::undefinedReference);
    }
  }

 private:
  void record(const DynamicGenerationSchema& node) {
    if (!named_.emplace(Unicode::nfc(node.name()), node).second) throw SchemaError(SchemaError::Case::duplicateType);
  }

  std::map<std::string, DynamicGenerationSchema, std::less<>>& named_;
  std::vector<const std::string*> references_;
};

template <typename Text>  // std::optional<std::string> or OptionalText
void appendOptionalString(std::string& out, const Text& text) {
  if (text) {
    JSONText::appendString(out, *text);
  } else {
    out += "null"sv;
  }
}

void appendOptionalInteger(std::string& out, std::optional<std::int64_t> value) {
  if (value) {
    JSONText::appendInteger(out, *value);
  } else {
    out += "null"sv;
  }
}

// A bound as its scalar's type writes it: JSON integers on integer scalars, numbers with a
// fraction or exponent on number scalars.
void appendBound(std::string& out, const GenerationGuide::Bound& bound, ScalarType type) {
  if (type == ScalarType::number) {
    JSONText::appendDouble(out, std::holds_alternative<double>(bound)
                                    ? std::get<double>(bound)
                                    : static_cast<double>(std::get<std::int64_t>(bound)));
  } else if (std::holds_alternative<std::int64_t>(bound)) {
    JSONText::appendInteger(out, std::get<std::int64_t>(bound));
  } else {
    JSONText::appendDouble(out, std::get<double>(bound));
  }
}

std::string_view typeText(ScalarType type) {
  switch (type) {
    case ScalarType::string: return "string";
    case ScalarType::integer: return "integer";
    case ScalarType::number: return "number";
    case ScalarType::boolean: return "boolean";
  }
  return "string";
}

void appendGuide(std::string& out, const GenerationGuide& guide, ScalarType type) {
  switch (guide.kind()) {
    case GenerationGuide::Case::constant:
      out += "{\"constant\":"sv;
      JSONText::appendString(out, guide.constantValue());
      break;
    case GenerationGuide::Case::pattern:
      out += "{\"pattern\":"sv;
      JSONText::appendString(out, guide.expression().pattern());
      break;
    case GenerationGuide::Case::minimum:
      out += "{\"minimum\":"sv;
      appendBound(out, guide.lower(), type);
      break;
    case GenerationGuide::Case::maximum:
      out += "{\"maximum\":"sv;
      appendBound(out, guide.upper(), type);
      break;
    case GenerationGuide::Case::range:
      out += "{\"range\":["sv;
      appendBound(out, guide.lower(), type);
      out += ',';
      appendBound(out, guide.upper(), type);
      out += ']';
      break;
  }
  out += '}';
}

// `"name":NAME,"description":D,` of a named form.
void appendNameAndDescription(std::string& out, const DynamicGenerationSchema& node) {
  out += "{\"name\":"sv;
  JSONText::appendString(out, node.name());
  out += ",\"description\":"sv;
  appendOptionalString(out, node.description());
}

void appendNode(std::string& out, const DynamicGenerationSchema& node) {
  switch (node.form()) {
    case Form::reference:
      out += "{\"ref\":"sv;
      JSONText::appendString(out, node.name());
      out += '}';
      return;
    case Form::choices: {
      appendNameAndDescription(out, node);
      out += ",\"choices\":["sv;
      bool first = true;
      for (const std::string& choice : node.choices()) {
        if (!std::exchange(first, false)) out += ',';
        JSONText::appendString(out, choice);
      }
      out += "]}"sv;
      return;
    }
    case Form::anyOf: {
      appendNameAndDescription(out, node);
      out += ",\"anyOf\":["sv;
      bool first = true;
      for (const DynamicGenerationSchema& alternative : node.alternatives()) {
        if (!std::exchange(first, false)) out += ',';
        appendNode(out, alternative);
      }
      out += "]}"sv;
      return;
    }
    case Form::object: {
      appendNameAndDescription(out, node);
      out += ",\"properties\":["sv;
      bool first = true;
      for (const DynamicGenerationSchema::Property& property : node.properties()) {
        if (!std::exchange(first, false)) out += ',';
        out += "{\"name\":"sv;
        JSONText::appendString(out, property.name);
        out += ",\"description\":"sv;
        appendOptionalString(out, property.description);
        out += property.isOptional ? ",\"optional\":true,\"schema\":"sv : ",\"optional\":false,\"schema\":"sv;
        appendNode(out, property.schema);
        out += '}';
      }
      out += "]}"sv;
      return;
    }
    case Form::array:
      out += "{\"arrayOf\":"sv;
      appendNode(out, node.element());
      out += ",\"minimumElements\":"sv;
      appendOptionalInteger(out, node.minimumElements());
      out += ",\"maximumElements\":"sv;
      appendOptionalInteger(out, node.maximumElements());
      out += '}';
      return;
    case Form::scalar: {
      out += "{\"type\":\""sv;
      out += typeText(node.scalarType());
      out += "\",\"guides\":["sv;
      bool first = true;
      for (const GenerationGuide& guide : node.guides()) {
        if (!std::exchange(first, false)) out += ',';
        appendGuide(out, guide, node.scalarType());
      }
      out += "]}"sv;
      return;
    }
  }
}

}  // namespace

const char* GenerationSchema::SchemaError::what() const noexcept {
  switch (kind_) {
    case Case::undefinedReference: return "a reference names no type of the schema";
    case Case::duplicateType: return "two types of the schema have the same name";
    case Case::duplicateProperty: return "an object lists the same property twice";
    case Case::emptyTypeChoices: return "a choice or union has nothing to choose from";
    case Case::invalidArrayBounds: return "an array's element bounds are negative or inverted";
    case Case::unrecognized: return "the platform could not assemble the schema";
  }
  return "the schema does not resolve";
}

GenerationSchema::GenerationSchema(DynamicGenerationSchema root, std::vector<DynamicGenerationSchema> dependencies)
    : root_(std::move(root)), dependencies_(std::move(dependencies)) {
  Assembly assembly(named_);
  assembly.walk(root_);
  for (const DynamicGenerationSchema& dependency : dependencies_) assembly.walk(dependency);
  assembly.resolveReferences();
}

const DynamicGenerationSchema* GenerationSchema::named(std::string_view name) const {
  const auto found = named_.find(Unicode::nfc(name));
  return found == named_.end() ? nullptr : &found->second;
}

std::string GenerationSchema::description() const {
  std::string out;
  out.reserve(descriptionRoom);
  appendDescription(out);
  return out;
}

void GenerationSchema::appendDescription(std::string& out) const {
  out += "{\"root\":"sv;
  appendNode(out, root_);
  out += ",\"dependencies\":["sv;
  bool first = true;
  for (const DynamicGenerationSchema& dependency : dependencies_) {
    if (!std::exchange(first, false)) out += ',';
    appendNode(out, dependency);
  }
  out += "]}"sv;
}

}  // namespace TarnwickApple::FoundationModels
