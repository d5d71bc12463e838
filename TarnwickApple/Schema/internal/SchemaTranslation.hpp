// The schema translator's pieces, shared by its own source files and their tests: the node
// dispatcher, objects and unions, property order and names, and scalar guides. Each takes the
// translation's Context, which says where it is and to whom it reports.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "TarnwickApple/FoundationModels/DynamicGenerationSchema.hpp"
#include "TarnwickApple/FoundationModels/GenerationGuide.hpp"
#include "TarnwickApple/JSON/JSONValue.hpp"
#include "TarnwickApple/Schema/Namer.hpp"
#include "TarnwickApple/Schema/SchemaTranslator.hpp"
#include "TarnwickApple/Schema/internal/Explain.hpp"
#include "TarnwickApple/Schema/internal/Keywords.hpp"
#include "TarnwickApple/Schema/internal/TranslationContext.hpp"

namespace TarnwickApple::SchemaTranslator {

// Nodes built inside inlined copies of definitions and pointed-to nodes, at most: a chain of
// definitions that each refer to the previous one twice would otherwise double at every link.
inline constexpr std::size_t maximumInlinedNodes = 20000;

// The document being translated, for references: its root, its definitions, the nodes being
// inlined (to find cycles) and the count of inlined nodes. One per translation, in its Context.
struct Document {
  struct Inlining {
    const JSONValue* node;
    std::string_view target;  // the reference text, for naming a cycle (the caller keeps it alive)
  };
  const JSONValue& root;
  const JSONObject* definitions;
  std::string_view definitionsKey;  // "$defs" or "definitions"
  std::vector<Inlining> inlining;
  // Every node being translated now, outermost first, with its name: a copy that comes back to
  // one of them that carries a name refers to it instead, which closes a cycle.
  std::vector<std::pair<const JSONValue*, std::string_view>> open;
  // Named nodes of other places that references reach by a pointer ("#/items/definitions/A"):
  // each is translated once, after the root, as a dependency under a name of its own.
  struct Shared {
    const JSONValue* node;
    std::string name;
    std::string pointer;
  };
  std::vector<Shared> shared;
  std::size_t copies = 0;        // inlined copies being translated now
  std::size_t inlinedNodes = 0;  // nodes built inside inlined copies so far
  bool exhausted = false;        // the inlined-node limit was passed: no definition is dropped then

  Document(const JSONValue& root, const JSONObject* definitions, std::string_view definitionsKey)
      : root(root), definitions(definitions), definitionsKey(definitionsKey) {}
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;
};

// The whole document, telling `recorder` (when not null) what it notes and why it refuses.
FoundationModels::GenerationSchema generationSchema(const JSONValue& document, Explain::Recorder* recorder);

// A "$ref" node: a named definition by name, anything else inlined under `name`.
FoundationModels::DynamicGenerationSchema reference(std::string_view target, std::string_view name,
                                                    Context& context);

// The node a reference into this document names ("#", "#/$defs/A", "#/properties/a"), or nullptr.
const JSONValue* referencedNode(std::string_view target, const Context& context);

// True when the node translates to a named form (object, string choice, union), so that a
// reference to it can stay a name.
bool isNamedForm(const JSONValue& node, const Context& context);

// The definitions the root reaches through references, directly or through other definitions.
std::vector<const JSONValue*> reachedDefinitions(const Document& document);

// An "enum" (or a lone "const") with members that are not all strings: strings as one string
// choice, numbers pinned to their value, booleans as a boolean, null dropped.
FoundationModels::DynamicGenerationSchema valueChoices(JSONElements values, std::string_view keyword,
                                                       std::string_view name,
                                                       const std::optional<std::string>& description, Context& context);

// A union alternative that stands for null alone: {"type":"null"}, {"const":null}, {"enum":[null]}.
bool isNullAlternative(const JSONValue& alternative, const Context& context);

// A "type" list of several kinds: one alternative per kind, each reading the node's keywords.
FoundationModels::DynamicGenerationSchema kindUnion(const JSONObject& node, const std::vector<std::string_view>& kinds,
                                                    std::string_view name,
                                                    const std::optional<std::string>& description, Context& context);

// Whether the "allOf" of a node without "type" or "properties" makes it a named form; nothing
// when "allOf" does not decide the node.
std::optional<bool> intersectionIsNamed(const JSONObject& node, const Context& context);

// "allOf" deciding a node without "type" or "properties": its one member, or its object members
// merged. Nothing when it cannot be read so, and the node goes on as without it.
std::optional<FoundationModels::DynamicGenerationSchema> intersection(const JSONObject& node, std::string_view name,
                                                                      const std::optional<std::string>& description,
                                                                      Context& context);

// One node under its (already unique) name, at the context's depth.
FoundationModels::DynamicGenerationSchema schema(const JSONValue& node, std::string_view name, Context& context);

// The type of a node that is no reference, enumeration or union; "" for a node that says
// nothing of its kind, which accepts any value.
std::string_view kind(const Keywords& node, Context& context);

// The kinds a "type" list names, "null" and repeats removed, in listed order; nothing when
// "type" is absent or not a list.
std::optional<std::vector<std::string_view>> listedKinds(const Keywords& node, Context& context);

// The kind the keywords of a node without "type" imply, "" for none (see kind()).
std::string_view impliedKind(const Keywords& node);

// The strings of a JSON array that must hold only strings; `keyword` names it in a refusal.
std::vector<std::string> strings(JSONElements array, std::string_view keyword, Context& context);
// Member `index` of such an array, refused as `strings` refuses it when it is no string.
std::string_view stringAt(JSONElements array, std::size_t index, std::string_view keyword, Context& context);

FoundationModels::DynamicGenerationSchema object(const Keywords& node, std::string_view name,
                                                 const std::optional<std::string>& description, Context& context);

// `union(_:named:description:namer:depth:)` ("union" is a keyword in C++; the namer and the depth
// are the context's); `keyword` is the
// member the alternatives come from ("anyOf" or "oneOf").
FoundationModels::DynamicGenerationSchema unionOf(JSONElements alternatives, std::string_view keyword,
                                                  std::string_view name,
                                                  const std::optional<std::string>& description, Context& context);

// Property names in order: the "x-order" names that are properties, then the rest sorted.
std::vector<std::string> order(const JSONObject& properties, const JSONObject& entries, Context& context);

// A property name in type-name form: "first_name" gives "FirstName".
std::string typeName(std::string_view propertyName);
// The same, appended to `result`.
void appendTypeName(std::string& result, std::string_view propertyName);

// Scalar guides.
std::vector<FoundationModels::GenerationGuide> stringGuides(const Keywords& node, Context& context);
std::vector<FoundationModels::GenerationGuide> integerGuides(const Keywords& node, Context& context);
std::vector<FoundationModels::GenerationGuide> numberGuides(const Keywords& node, Context& context);

}  // namespace TarnwickApple::SchemaTranslator
