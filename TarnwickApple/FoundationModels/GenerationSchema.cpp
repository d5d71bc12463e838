// Assembling a generation schema: the checks that it resolves, the lookup of named forms, and
// its canonical one-line description.
#include "TarnwickApple/FoundationModels/GenerationSchema.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <forward_list>
#include <memory>
#include <string_view>
#include <utility>
#include <variant>

#include "TarnwickApple/JSON/JSONText.hpp"
#include "TarnwickApple/Text/Unicode.hpp"

namespace TarnwickApple::FoundationModels {

namespace {

using Form = DynamicGenerationSchema::Form;
using ScalarType = DynamicGenerationSchema::ScalarType;
using SchemaError = GenerationSchema::SchemaError;

using Unicode::isASCII;

// Up to this many property names are checked for repeats pair by pair: fewer steps than sorting
// them, and no allocation.
constexpr std::size_t pairwiseNames = 16;

// Room on the stack for a description: most schemas' fit, so few allocate room of their own.
constexpr std::size_t descriptionRoom = 4096;

// The description's bytes, written through a pointer into room of its own (on the stack while
// it is small) and appended to the output string whole at the end: each piece costs a compare
// and a copy, not the bookkeeping of a std::string append.
class Writer {
 public:
  Writer() = default;
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  template <std::size_t N>  // a string literal, copied in a few moves
  void literal(const char (&text)[N]) {
    room(N - 1);
    std::memcpy(position_, text, N - 1);
    position_ += N - 1;
  }
  void text(std::string_view text) {
    room(text.size());
    std::memcpy(position_, text.data(), text.size());
    position_ += text.size();
  }
  void character(char c) {
    room(1);
    *position_++ = c;
  }
  void string(std::string_view text) {
    room(JSONText::maximumStringBytes(text.size()));
    position_ = JSONText::writeString(position_, text);
  }
  // Numbers are written by JSONText into a small string first: they are few.
  template <typename Append, typename Value>
  void number(Append append, Value value) {
    std::string written;
    append(written, value);
    text(written);
  }
  void appendTo(std::string& out) const { out.append(begin_, static_cast<std::size_t>(position_ - begin_)); }

 private:
  void room(std::size_t bytes) {
    if (static_cast<std::size_t>(end_ - position_) < bytes) grow(bytes);
  }
  // At least `bytes` more bytes of room, at least twice as much as before.
  void grow(std::size_t bytes) {
    const std::size_t used = static_cast<std::size_t>(position_ - begin_);
    const std::size_t size = std::max(used + bytes, 2 * static_cast<std::size_t>(end_ - begin_));
    auto bigger = std::make_unique_for_overwrite<char[]>(size);
    std::memcpy(bigger.get(), begin_, used);
    heap_ = std::move(bigger);
    begin_ = heap_.get();
    position_ = begin_ + used;
    end_ = begin_ + size;
  }

  char local_[descriptionRoom];
  std::unique_ptr<char[]> heap_;  // once the description outgrows `local_`
  char* begin_ = local_;
  char* position_ = local_;
  char* end_ = local_ + descriptionRoom;
};

template <typename Text>  // std::optional<std::string> or OptionalText
void writeOptionalString(Writer& out, const Text& text) {
  if (text) {
    out.string(*text);
  } else {
    out.literal("null");
  }
}

void writeOptionalInteger(Writer& out, std::optional<std::int64_t> value) {
  if (value) {
    out.number(JSONText::appendInteger, *value);
  } else {
    out.literal("null");
  }
}

// A bound as its scalar's type writes it: JSON integers on integer scalars, numbers with a
// fraction or exponent on number scalars.
void writeBound(Writer& out, const GenerationGuide::Bound& bound, ScalarType type) {
  if (type == ScalarType::number) {
    out.number(JSONText::appendDouble, std::holds_alternative<double>(bound)
                                           ? std::get<double>(bound)
                                           : static_cast<double>(std::get<std::int64_t>(bound)));
  } else if (std::holds_alternative<std::int64_t>(bound)) {
    out.number(JSONText::appendInteger, std::get<std::int64_t>(bound));
  } else {
    out.number(JSONText::appendDouble, std::get<double>(bound));
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

void writeGuide(Writer& out, const GenerationGuide& guide, ScalarType type) {
  switch (guide.kind()) {
    case GenerationGuide::Case::constant:
      out.literal("{\"constant\":");
      out.string(guide.constantValue());
      break;
    case GenerationGuide::Case::pattern:
      out.literal("{\"pattern\":");
      out.string(guide.expression().pattern());
      break;
    case GenerationGuide::Case::minimum:
      out.literal("{\"minimum\":");
      writeBound(out, guide.lower(), type);
      break;
    case GenerationGuide::Case::maximum:
      out.literal("{\"maximum\":");
      writeBound(out, guide.upper(), type);
      break;
    case GenerationGuide::Case::range:
      out.literal("{\"range\":[");
      writeBound(out, guide.lower(), type);
      out.character(',');
      writeBound(out, guide.upper(), type);
      out.character(']');
      break;
  }
  out.character('}');
}

// `"name":NAME,"description":D,` of a named form.
void writeNameAndDescription(Writer& out, const DynamicGenerationSchema& node) {
  out.literal("{\"name\":");
  out.string(node.name());
  out.literal(",\"description\":");
  writeOptionalString(out, node.description());
}

void writeNode(Writer& out, const DynamicGenerationSchema& node) {
  switch (node.form()) {
    case Form::reference:
      out.literal("{\"ref\":");
      out.string(node.name());
      out.character('}');
      return;
    case Form::choices: {
      writeNameAndDescription(out, node);
      out.literal(",\"choices\":[");
      bool first = true;
      for (const std::string& choice : node.choices()) {
        if (!std::exchange(first, false)) out.character(',');
        out.string(choice);
      }
      out.literal("]}");
      return;
    }
    case Form::anyOf: {
      writeNameAndDescription(out, node);
      out.literal(",\"anyOf\":[");
      bool first = true;
      for (const DynamicGenerationSchema& alternative : node.alternatives()) {
        if (!std::exchange(first, false)) out.character(',');
        writeNode(out, alternative);
      }
      out.literal("]}");
      return;
    }
    case Form::object: {
      writeNameAndDescription(out, node);
      out.literal(",\"properties\":[");
      bool first = true;
      for (const DynamicGenerationSchema::Property& property : node.properties()) {
        if (!std::exchange(first, false)) out.character(',');
        out.literal("{\"name\":");
        out.string(property.name);
        out.literal(",\"description\":");
        writeOptionalString(out, property.description);
        if (property.isOptional) {
          out.literal(",\"optional\":true,\"schema\":");
        } else {
          out.literal(",\"optional\":false,\"schema\":");
        }
        writeNode(out, property.schema);
        out.character('}');
      }
      out.literal("]}");
      return;
    }
    case Form::array:
      out.literal("{\"arrayOf\":");
      writeNode(out, node.element());
      out.literal(",\"minimumElements\":");
      writeOptionalInteger(out, node.minimumElements());
      out.literal(",\"maximumElements\":");
      writeOptionalInteger(out, node.maximumElements());
      out.character('}');
      return;
    case Form::scalar: {
      out.literal("{\"type\":\"");
      out.text(typeText(node.scalarType()));
      out.literal("\",\"guides\":[");
      bool first = true;
      for (const GenerationGuide& guide : node.guides()) {
        if (!std::exchange(first, false)) out.character(',');
        writeGuide(out, guide, node.scalarType());
      }
      out.literal("]}");
      return;
    }
  }
}

}  // namespace

// Walks the trees of a root and its dependencies once, recording every named form under its NFC
// name and every reference, and refusing what can be seen in one node. References are not
// followed, so the walk is as deep as the trees are. The names are sorted once the walk is done,
// which costs less than keeping a tree of them as it goes.
class GenerationSchema::Assembly {
 public:
  // Walks the root, then each dependency, and hands the sorted names to `named` (and the NFC forms
  // their keys view to `normalized`) once the walk is done. A refusal met after a repeated name
  // gives way to the repetition, which a walk that checked each name as it met it would have
  // refused first.
  void assemble(const DynamicGenerationSchema& root, const std::vector<DynamicGenerationSchema>& dependencies,
                std::vector<Named>& named, std::forward_list<std::string>& normalized) {
    try {
      walk(root);
      for (const DynamicGenerationSchema& dependency : dependencies) walk(dependency);
    } catch (const SchemaError&) {
      sortNames();
      throw;
    }
    sortNames();
    for (const std::string* name : references_) {
      std::string storage;
      if (!find(named_, nfcKey(*name, storage))) throw SchemaError(SchemaError::Case::undefinedReference);
    }
    named = std::move(named_);
    normalized = std::move(normalized_);
  }

  // The entry of `key` (an NFC name) in `named`, sorted by key, or nullptr.
  static const Named* find(const std::vector<Named>& named, std::string_view key) {
    const auto found = std::lower_bound(named.begin(), named.end(), key,
                                        [](const Named& entry, std::string_view wanted) { return entry.key < wanted; });
    return found != named.end() && found->key == key ? &*found : nullptr;
  }

  // The NFC form of `name`: itself when it is ASCII, else a copy in `storage`.
  static std::string_view nfcKey(std::string_view name, std::string& storage) {
    if (isASCII(name)) return name;
    storage = Unicode::nfc(name);
    return storage;
  }

 private:
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

  // Sorts the names recorded so far and refuses a name recorded twice.
  void sortNames() {
    std::sort(named_.begin(), named_.end(), [](const Named& a, const Named& b) { return a.key < b.key; });
    for (std::size_t i = 1; i < named_.size(); ++i) {
      if (named_[i].key == named_[i - 1].key) throw SchemaError(SchemaError::Case::duplicateType);
    }
  }

  void record(const DynamicGenerationSchema& node) {
    std::string_view key = node.name();
    if (!isASCII(key)) {
      std::string form = Unicode::nfc(key);
      if (form != key) key = normalized_.emplace_front(std::move(form));
    }
    named_.push_back(Named{key, &node});
  }

  std::vector<Named> named_;
  std::forward_list<std::string> normalized_;  // NFC forms that differ from their names
  std::vector<const std::string*> references_;
};

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
    : root_(std::make_unique<const DynamicGenerationSchema>(std::move(root))), dependencies_(std::move(dependencies)) {
  Assembly().assemble(*root_, dependencies_, named_, normalized_);
}

const DynamicGenerationSchema* GenerationSchema::named(std::string_view name) const {
  std::string storage;
  const Named* found = Assembly::find(named_, Assembly::nfcKey(name, storage));
  return found ? found->node : nullptr;
}

std::string GenerationSchema::description() const {
  std::string out;
  appendDescription(out);
  return out;
}

void GenerationSchema::appendDescription(std::string& out) const {
  Writer writer;
  writer.literal("{\"root\":");
  writeNode(writer, *root_);
  writer.literal(",\"dependencies\":[");
  bool first = true;
  for (const DynamicGenerationSchema& dependency : dependencies_) {
    if (!std::exchange(first, false)) writer.character(',');
    writeNode(writer, dependency);
  }
  writer.literal("]}");
  writer.appendTo(out);
}

}  // namespace TarnwickApple::FoundationModels
