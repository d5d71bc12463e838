// "$ref": definitions that carry a name stay references to it; definitions that do not, and
// other places of the same document ("#", "#/properties/a"), are translated again in place.
#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "TarnwickApple/Errors/SidecarError.hpp"
#include "TarnwickApple/Schema/internal/Explain.hpp"
#include "TarnwickApple/JSON/Quoting.hpp"
#include "TarnwickApple/Schema/internal/SchemaTranslation.hpp"

namespace TarnwickApple::SchemaTranslator {
namespace {

using FoundationModels::DynamicGenerationSchema;
using Quoting::quoted;

// The two definition prefixes, tried in this order; either reaches the one definitions table.
constexpr std::string_view definitionPrefixes[] = {"#/$defs/", "#/definitions/"};

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "%XX" -> the byte XX; a "%" not followed by two hex digits stays as it is.
std::string percentDecoded(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 && hexDigit(text[i + 2]) >= 0) {
      result += static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
      i += 2;
    } else {
      result += text[i];
    }
  }
  return result;
}

// One pointer segment: "~1" -> "/", "~0" -> "~".
std::string unescaped(std::string_view segment) {
  std::string result;
  result.reserve(segment.size());
  for (std::size_t i = 0; i < segment.size(); ++i) {
    if (segment[i] == '~' && i + 1 < segment.size() && (segment[i + 1] == '0' || segment[i + 1] == '1')) {
      result += segment[i + 1] == '1' ? '/' : '~';
      ++i;
    } else {
      result += segment[i];
    }
  }
  return result;
}

std::optional<std::size_t> arrayIndex(std::string_view segment) {
  if (segment.empty() || segment.size() > 9 || (segment.size() > 1 && segment[0] == '0')) return std::nullopt;
  std::size_t index = 0;
  for (const char c : segment) {
    if (c < '0' || c > '9') return std::nullopt;
    index = index * 10 + static_cast<std::size_t>(c - '0');
  }
  return index;
}

// Where a pointer ("" for "#", "/a/b" for "#/a/b", percent-decoded) leads in the document, and
// the key of the definition it names when it names one whole. A first segment "$defs" or
// "definitions" reaches the definitions table whichever of the two holds it.
struct Resolved {
  const JSONValue* node = nullptr;
  std::optional<std::string> definitionKey;
};
Resolved resolve(const Document& document, std::string_view pointer) {
  if (pointer.empty()) return {&document.root, std::nullopt};
  if (pointer.front() != '/') return {};
  std::vector<std::string> segments;
  for (std::size_t start = 1;;) {
    const std::size_t end = std::min(pointer.find('/', start), pointer.size());
    segments.push_back(unescaped(pointer.substr(start, end - start)));
    if (end == pointer.size()) break;
    start = end + 1;
  }
  const JSONValue* at = &document.root;
  std::size_t next = 0;
  std::optional<std::string> definitionKey;
  if (document.definitions && segments.size() > 1 && (segments[0] == "$defs" || segments[0] == "definitions")) {
    at = document.definitions->find(segments[1]);
    definitionKey = segments[1];
    next = 2;
  }
  for (; at && next < segments.size(); ++next) {
    definitionKey.reset();
    if (const JSONObject* object = at->objectValue()) {
      at = object->find(segments[next]);
    } else if (const auto array = at->arrayValue()) {
      const auto position = arrayIndex(segments[next]);
      at = position && *position < array->size() ? &(*array)[*position] : nullptr;
    } else {
      at = nullptr;
    }
  }
  if (!at) return {};
  return {at, std::move(definitionKey)};
}

// The definition a reference text names, directly or through a pointer into it.
const JSONValue* definitionOf(const Document& document, std::string_view target) {
  if (!document.definitions) return nullptr;
  for (std::string_view prefix : definitionPrefixes) {
    if (!target.starts_with(prefix)) continue;
    const std::string_view rest = target.substr(prefix.size());
    if (const JSONValue* definition = document.definitions->find(rest)) return definition;
    const std::string decoded = percentDecoded(rest);
    return document.definitions->find(unescaped(std::string_view(decoded).substr(0, decoded.find('/'))));
  }
  return nullptr;
}

// Counts one inlined copy in and out, whatever ends its translation.
class Entered {
 public:
  Entered(Document& document, const JSONValue& node, std::string_view target) : document_(document) {
    document_.inlining.push_back({&node, target});
    ++document_.copies;
  }
  ~Entered() {
    document_.inlining.pop_back();
    --document_.copies;
  }
  Entered(const Entered&) = delete;
  Entered& operator=(const Entered&) = delete;

 private:
  Document& document_;
};

// The node translated again under `name`, with what is said about it placed at `pointer`; a
// node already being translated further up is a cycle, which only a name can close.
DynamicGenerationSchema copied(const JSONValue& node, std::string_view target, const std::string& pointer,
                               std::string_view name, Context& context) {
  Document& document = *context.document;
  const auto translating = std::find_if(document.open.rbegin(), document.open.rend(),
                                        [&](const auto& entry) { return entry.first == &node; });
  if (translating != document.open.rend() && isNamedForm(node, context)) {
    if (context.recorder) context.recorder->reference(target, translating->second, context.pointer());
    return DynamicGenerationSchema::referenceTo(std::string(translating->second));
  }
  const auto open = std::find_if(document.inlining.begin(), document.inlining.end(),
                                 [&](const Document::Inlining& entry) { return entry.node == &node; });
  // Coming back to a node being copied closes the loop only through a named form opened since,
  // which the next copy refers to by name; with none the copies would never end.
  const auto namedSince = [&] {
    const auto at = std::find_if(document.open.rbegin(), document.open.rend(),
                                 [&](const auto& entry) { return entry.first == &node; });
    return std::any_of(document.open.rbegin(), at, [&](const auto& entry) { return isNamedForm(*entry.first, context); });
  };
  if (open != document.inlining.end() && !namedSince()) {
    context.refuse(SidecarError::unsupportedReference, [&] {
      std::string cycle;
      for (auto entry = open; entry != document.inlining.end(); ++entry) cycle += quoted(entry->target) + " -> ";
      return "\"$ref\" cycle " + cycle + quoted(target) + " passes through no object, choice or union";
    });
  }
  context.note("$ref", "inlined", [&] {
    return "a copy of " + quoted(target) + " is translated here: it is no object, choice or union, so no name can refer to it";
  });
  Entered entered(document, node, target);
  Elsewhere place(context, pointer);
  return schema(node, name, context);
}

void collectReached(const JSONValue& value, const Document& document, std::vector<const JSONValue*>& reached) {
  if (const auto array = value.arrayValue()) {
    for (const JSONValue& element : *array) collectReached(element, document, reached);
    return;
  }
  const JSONObject* object = value.objectValue();
  if (!object) return;
  for (const auto& [nfcKey, member] : *object) {
    if (&value == &document.root && member.value.objectValue() == document.definitions) continue;
    if (nfcKey == "$ref" && member.value.stringValue()) {
      const JSONValue* definition = definitionOf(document, *member.value.stringValue());
      if (definition && std::find(reached.begin(), reached.end(), definition) == reached.end()) {
        reached.push_back(definition);
        collectReached(*definition, document, reached);
      }
      continue;
    }
    collectReached(member.value, document, reached);
  }
}

// How many alternatives an "enum" of any values makes (see valueChoices), and whether one of them
// is the string choice.
std::pair<std::size_t, bool> valueGroups(JSONElements values) {
  std::size_t groups = 0;
  bool strings = false, booleans = false;
  for (const JSONValue& value : values) {
    switch (value.kind()) {
      case JSONValue::Case::string:
        if (!strings) ++groups;
        strings = true;
        break;
      case JSONValue::Case::boolean:
        if (!booleans) ++groups;
        booleans = true;
        break;
      case JSONValue::Case::integer:
      case JSONValue::Case::number: ++groups; break;
      case JSONValue::Case::null:
      case JSONValue::Case::array:
      case JSONValue::Case::object: break;
    }
  }
  return {groups, strings};
}

}  // namespace

// "#/$defs/NAME", "#/definitions/NAME" -> a reference to NAME when it carries a name, else a copy
// "#", "#/a/b/..."                     -> a copy of the node the pointer names
// anything else                        -> refused
DynamicGenerationSchema reference(std::string_view target, std::string_view name, Context& context) {
  const auto byName = [&](std::string referenced) {
    if (context.recorder) context.recorder->reference(target, referenced, context.pointer());
    return DynamicGenerationSchema::referenceTo(std::move(referenced));
  };
  Document* const document = context.document;
  const auto definitionReference = [&](const JSONValue& definition, std::string_view key) {
    if (isNamedForm(definition, context)) return byName(std::string(key));
    std::string pointer;  // the copy's place, kept only while recording
    if (context.recording()) {
      Quoting::appendPointerSegment(pointer, document->definitionsKey);
      Quoting::appendPointerSegment(pointer, key);
    }
    return copied(definition, target, pointer, name, context);
  };
  for (std::string_view prefix : definitionPrefixes) {
    if (!target.starts_with(prefix)) continue;
    const std::string_view referenced = target.substr(prefix.size());
    if (!document || !document->definitions) return byName(std::string(referenced));
    if (const JSONValue* definition = document->definitions->find(referenced)) {
      return definitionReference(*definition, referenced);
    }
    break;
  }
  if (document && (target == "#" || target.starts_with("#/"))) {
    const std::string pointer = percentDecoded(target.substr(1));
    Resolved resolved = resolve(*document, pointer);
    if (resolved.node && resolved.definitionKey) return definitionReference(*resolved.node, *resolved.definitionKey);
    if (resolved.node && resolved.node != &document->root && isNamedForm(*resolved.node, context)) {
      // A named form is translated once, under a name of its own, and referred to by it.
      const auto known = std::find_if(document->shared.begin(), document->shared.end(),
                                      [&](const Document::Shared& entry) { return entry.node == resolved.node; });
      if (known != document->shared.end()) return byName(known->name);
      const std::string_view last = std::string_view(pointer).substr(pointer.rfind('/') + 1);
      std::string sharedName = context.namer.unique(unescaped(last));
      document->shared.push_back({resolved.node, sharedName, pointer});
      return byName(std::move(sharedName));
    }
    if (resolved.node) return copied(*resolved.node, target, pointer, name, context);
    // A definition prefix that names nothing is left to the assembly, which says so.
    for (std::string_view prefix : definitionPrefixes) {
      if (target.starts_with(prefix)) return byName(std::string(target.substr(prefix.size())));
    }
    context.refuse(SidecarError::unsupportedReference,
                   [&] { return "\"$ref\" " + quoted(target) + " names no place in this document"; });
  }
  context.refuse(SidecarError::unsupportedReference, [&] {
    return "\"$ref\" " + quoted(target) + " points into another document";
  });
}

// Mirrors the dispatch of schema(): objects, string choices and unions of two or more
// alternatives carry names; references, arrays and scalars do not.
bool isNamedForm(const JSONValue& node, const Context& context) {
  const JSONObject* object = node.objectValue();
  if (!object) return false;
  const Keywords members(*object);
  const JSONValue* member = members[Keyword::ref];
  if (member && member->stringValue()) return false;
  if (member = members[Keyword::enumeration]; member && member->arrayValue()) {
    const auto [groups, strings] = valueGroups(*member->arrayValue());
    const bool onlyStrings = std::all_of(member->arrayValue()->begin(), member->arrayValue()->end(),
                                         [](const JSONValue& value) { return value.stringValue(); });
    return onlyStrings || groups > 1 || (groups == 1 && strings);
  }
  member = members[Keyword::anyOf];
  if (!member || !member->arrayValue()) member = members[Keyword::oneOf];
  if (member && member->arrayValue()) {
    std::vector<const JSONValue*> remaining;
    for (const JSONValue& alternative : *member->arrayValue()) {
      if (!isNullAlternative(alternative, context)) remaining.push_back(&alternative);
    }
    return remaining.size() > 1 || (remaining.size() == 1 && isNamedForm(*remaining.front(), context));
  }
  const bool typed = members[Keyword::type] || members[Keyword::properties];
  if (!typed && !members[Keyword::constant]) {
    if (const auto named = intersectionIsNamed(members, context)) return *named;
  }
  if (const JSONValue* constant = members[Keyword::constant]; !typed && constant && !constant->stringValue()) return false;
  if (const JSONValue* type = members[Keyword::type]) {
    if (const auto text = type->stringValue()) return *text == "object";
    const auto list = type->arrayValue();
    if (!list) return false;
    std::vector<std::string_view> kinds;
    for (const JSONValue& kind : *list) {
      const auto text = kind.stringValue();
      if (!text) return false;
      if (*text != "null" && std::find(kinds.begin(), kinds.end(), *text) == kinds.end()) kinds.push_back(*text);
    }
    return kinds.size() > 1 || (kinds.size() == 1 && kinds.front() == "object");
  }
  if (members[Keyword::properties]) return true;
  if (const JSONValue* constant = members[Keyword::constant]; constant && constant->stringValue()) return false;
  return impliedKind(members) == "object";
}

const JSONValue* referencedNode(std::string_view target, const Context& context) {
  const Document* document = context.document;
  if (!document) return nullptr;
  for (std::string_view prefix : definitionPrefixes) {
    if (!document->definitions || !target.starts_with(prefix)) continue;
    if (const JSONValue* definition = document->definitions->find(target.substr(prefix.size()))) {
      return definition;
    }
  }
  if (target != "#" && !target.starts_with("#/")) return nullptr;
  return resolve(*document, percentDecoded(target.substr(1))).node;
}

std::vector<const JSONValue*> reachedDefinitions(const Document& document) {
  std::vector<const JSONValue*> reached;
  if (document.definitions) collectReached(document.root, document, reached);
  return reached;
}

}  // namespace TarnwickApple::SchemaTranslator
