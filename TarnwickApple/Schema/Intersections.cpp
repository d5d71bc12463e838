// "allOf" where it decides a node that has no "type" or "properties" of its own: a single
// member stands for the node, and object members whose properties do not clash are merged.
#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "TarnwickApple/Schema/internal/Explain.hpp"
#include "TarnwickApple/JSON/Quoting.hpp"
#include "TarnwickApple/Schema/internal/SchemaTranslation.hpp"

namespace TarnwickApple::SchemaTranslator {
namespace {

using FoundationModels::DynamicGenerationSchema;

// References followed from an "allOf" member before it must be an object schema.
constexpr int maximumReferenceHops = 8;

// The member a reference chain ends at, or nullptr when it leaves the document or goes on too long.
const JSONObject* dereferenced(const JSONValue& member, const Context& context) {
  const JSONValue* at = &member;
  for (int hop = 0; hop <= maximumReferenceHops; ++hop) {
    const JSONObject* object = at->objectValue();
    if (!object) return nullptr;
    const JSONValue* target = object->find("$ref");
    if (!target || !target->stringValue()) return object;
    at = referencedNode(*target->stringValue(), context);
    if (!at) return nullptr;
  }
  return nullptr;
}

// An object schema with nothing but properties and required names that can be merged:
//   {"type":"object"?, "properties":{...}?, "required":[...]?, annotations and ignored keywords}
bool mergeable(const JSONObject& member) {
  for (std::string_view decider : {"anyOf", "oneOf", "enum", "allOf", "const", "not", "if", "$ref"}) {
    if (member.find(decider)) return false;
  }
  const JSONValue* type = member.find("type");
  if (type && !(type->stringValue() && *type->stringValue() == "object")) return false;
  const JSONValue* properties = member.find("properties");
  if (properties && !properties->objectValue()) return false;
  const JSONValue* required = member.find("required");
  return type || properties || (required && required->arrayValue());
}

// True when the member says something of the value: some keyword of it is not an annotation.
bool constrains(const JSONValue& member) {
  static constexpr std::string_view annotations[] = {"$comment", "$id", "$schema", "default", "deprecated",
                                                     "description", "examples", "markdownDescription",
                                                     "readOnly", "title", "writeOnly"};
  const JSONObject* object = member.objectValue();
  if (!object) return !member.boolValue().value_or(false);
  for (const auto& [nfcKey, entry] : *object) {
    if (std::find(std::begin(annotations), std::end(annotations), nfcKey) == std::end(annotations)) return true;
  }
  return false;
}

// The members of a non-empty "allOf" array that say something of the value, with their places.
std::vector<std::pair<std::size_t, const JSONValue*>> membersOf(const JSONObject& node) {
  std::vector<std::pair<std::size_t, const JSONValue*>> result;
  const JSONValue* allOf = node.find("allOf");
  const JSONElements* members = allOf ? allOf->arrayValue() : nullptr;
  if (!members) return result;
  for (std::size_t i = 0; i < members->size(); ++i) {
    if (constrains((*members)[i])) result.emplace_back(i, &(*members)[i]);
  }
  return result;
}

// One member stands for the node when the node adds no required names of its own.
bool standsAlone(const JSONObject& node, const std::vector<std::pair<std::size_t, const JSONValue*>>& members) {
  return members.size() == 1 && !node.find("required");
}

// The members dereferenced when every one can be merged and no property is given two different
// schemas; nothing otherwise. Properties are compared where they stand, by their NFC names.
std::optional<std::vector<const JSONObject*>> mergedMembers(
    const std::vector<std::pair<std::size_t, const JSONValue*>>& members, const Context& context) {
  std::vector<const JSONObject*> result;
  std::unordered_map<std::string_view, const JSONValue*> seen;
  for (const auto& [index, member] : members) {
    const JSONObject* object = dereferenced(*member, context);
    if (!object || !mergeable(*object)) return std::nullopt;
    if (const JSONValue* properties = object->find("properties")) {
      for (const auto& [nfcKey, property] : *properties->objectValue()) {
        const auto [earlier, added] = seen.emplace(nfcKey, &property.value);
        if (!added && !(*earlier->second == property.value)) return std::nullopt;
      }
    }
    result.push_back(object);
  }
  return result;
}

}  // namespace

std::optional<bool> intersectionIsNamed(const JSONObject& node, const Context& context) {
  const auto members = membersOf(node);
  if (members.empty()) return std::nullopt;
  if (standsAlone(node, members)) return isNamedForm(*members.front().second, context);
  if (mergedMembers(members, context)) return true;
  return isNamedForm(*members.front().second, context);
}

// {"allOf":[m]}               -> m (members with annotations only are left out first)
// {"allOf":[o1,o2,...]}       -> {"type":"object","properties":o1.properties+o2.properties+...,
//                                 "required":o1.required+o2.required+...+the node's own}
// {"allOf":[m1,m2,...]}       -> m1, the others ignored
// {"allOf":[]}                -> nothing
std::optional<DynamicGenerationSchema> intersection(const JSONObject& node, std::string_view name,
                                                    const std::optional<std::string>& description, Context& context) {
  const auto members = membersOf(node);
  if (members.empty()) return std::nullopt;
  const auto first = [&] {
    Step step(context, "allOf", std::to_string(members.front().first), Step::nested);
    return schema(*members.front().second, name, context);
  };
  if (standsAlone(node, members)) {
    Explain::unread(context, node, Explain::Form::allOf);
    return first();
  }
  const auto objects = mergedMembers(members, context);
  if (!objects) {
    Explain::unread(context, node, Explain::Form::allOf);
    context.note("allOf", "ignored", [&] {
      return "only member " + std::to_string(members.front().first) + " of \"allOf\" is read, so the model is not held to the other " +
             std::to_string(members.size() - 1);
    });
    return first();
  }
  Explain::unread(context, node, Explain::Form::allOf);
  context.note("allOf", "merged", [&] {
    return "the properties and required names of its " + std::to_string(objects->size()) +
           " object members are merged into one object";
  });
  JSONObject properties;
  JSONArray required;
  const auto addRequired = [&](const JSONObject& from) {
    const JSONValue* names = from.find("required");
    if (!names || !names->arrayValue()) return;
    for (const JSONValue& requiredName : *names->arrayValue()) {
      if (std::find(required.begin(), required.end(), requiredName) == required.end()) required.push_back(requiredName);
    }
  };
  for (std::size_t i = 0; i < objects->size(); ++i) {
    const JSONObject& member = *(*objects)[i];
    {
      Step step(context, "allOf", std::to_string(members[i].first));
      Explain::unread(context, member, Explain::Form::object);
    }
    if (const JSONValue* table = member.find("properties")) {
      for (const auto& [nfcKey, property] : *table->objectValue()) {
        if (!properties.find(property.key())) properties.insert(std::string(property.key()), property.value);
      }
    }
    addRequired(member);
  }
  addRequired(node);
  JSONObject merged;
  merged.insert("type", JSONValue::string("object"));
  merged.insert("properties", JSONValue::object(std::move(properties)));
  merged.insert("required", JSONValue::array(std::move(required)));
  return object(merged, name, description, context);
}

}  // namespace TarnwickApple::SchemaTranslator
