// Reading the request document and writing the reply and probe lines.
#include "TarnwickApple/Wire.hpp"

#include "TarnwickApple/JSONText.hpp"

namespace TarnwickApple {

std::string_view wireString(UseCase value) {
  switch (value) {
    case UseCase::general: return "general";
    case UseCase::contentTagging: return "content_tagging";
  }
  return "general";
}

std::string_view wireString(Guardrails value) {
  switch (value) {
    case Guardrails::defaultGuardrails: return "default";
    case Guardrails::permissiveContentTransformations: return "permissive_content_transformations";
  }
  return "default";
}

std::optional<UseCase> useCase(std::string_view wire) {
  for (UseCase value : {UseCase::general, UseCase::contentTagging}) {
    if (wireString(value) == wire) return value;
  }
  return std::nullopt;
}

std::optional<Guardrails> guardrails(std::string_view wire) {
  for (Guardrails value : {Guardrails::defaultGuardrails, Guardrails::permissiveContentTransformations}) {
    if (wireString(value) == wire) return value;
  }
  return std::nullopt;
}

namespace {

[[noreturn]] void malformed() { throw SidecarError::malformedRequest; }

// The member's value, or nullptr when it is missing or null (both mean absent).
const JSONValue* member(const JSONObject& object, std::string_view name) {
  const JSONValue* value = object.find(name);
  return value == nullptr || value->isNull() ? nullptr : value;
}

const JSONValue& required(const JSONObject& object, std::string_view name) {
  const JSONValue* value = member(object, name);
  if (value == nullptr) malformed();
  return *value;
}

std::string text(const JSONValue& value) {
  const std::string* s = value.stringValue();
  if (s == nullptr) malformed();
  return *s;
}

const JSONObject& object(const JSONValue& value) {
  const JSONObject* o = value.objectValue();
  if (o == nullptr) malformed();
  return *o;
}

std::optional<std::string> optionalText(const JSONObject& o, std::string_view name) {
  const JSONValue* value = member(o, name);
  if (value == nullptr) return std::nullopt;
  return text(*value);
}

std::optional<double> optionalDouble(const JSONObject& o, std::string_view name) {
  const JSONValue* value = member(o, name);
  if (value == nullptr) return std::nullopt;
  const auto d = value->doubleValue();
  if (!d) malformed();
  return d;
}

std::optional<std::int64_t> optionalInteger(const JSONObject& o, std::string_view name) {
  const JSONValue* value = member(o, name);
  if (value == nullptr) return std::nullopt;
  const auto i = value->exactIntegerValue();
  if (!i) malformed();
  return i;
}

std::optional<std::uint64_t> optionalUnsigned(const JSONObject& o, std::string_view name) {
  const JSONValue* value = member(o, name);
  if (value == nullptr) return std::nullopt;
  const auto u = value->unsignedValue();
  if (!u) malformed();
  return u;
}

Sampling readSampling(const JSONObject& o) {
  const std::string mode = text(required(o, "mode"));
  if (mode == "greedy") return Sampling::greedy();  // nothing else is looked at
  if (mode != "random") malformed();
  auto top = optionalInteger(o, "top");
  auto threshold = optionalDouble(o, "probability_threshold");
  auto seed = optionalUnsigned(o, "seed");
  return Sampling::random(top, threshold, seed);
}

Options readOptions(const JSONObject& o) {
  Options options;
  options.temperature = optionalDouble(o, "temperature");
  options.maximumResponseTokens = optionalInteger(o, "maximum_response_tokens");
  if (const JSONValue* sampling = member(o, "sampling")) options.sampling = readSampling(object(*sampling));
  return options;
}

Request readRequest(JSONObject& o) {
  Request request;
  (void)text(required(o, "prompt"));
  // The prompt may be megabytes: take it over rather than copy it.
  request.prompt = *JSONValue::releaseString(std::move(*o.extract("prompt")));
  request.instructions = optionalText(o, "instructions");
  const auto use = useCase(text(required(o, "use_case")));
  if (!use) malformed();
  request.useCase = *use;
  const auto rails = guardrails(text(required(o, "guardrails")));
  if (!rails) malformed();
  request.guardrails = *rails;
  if (const JSONValue* options = member(o, "options")) request.options = readOptions(object(*options));
  if (const JSONValue* schema = member(o, "schema")) request.schema = *schema;
  return request;
}

// The request in the document `readDocument` gives.
template <typename ReadDocument>
Request decodeDocument(ReadDocument readDocument) {
  try {
    JSONObject members;
    {
      const JSONValue document = readDocument();
      members = object(document);
    }  // now the only owner of the members' values
    return readRequest(members);
  } catch (...) {
    // Whatever went wrong, the request is malformed and nothing more is said.
    throw SidecarError::malformedRequest;
  }
}

}  // namespace

Request Request::decode(std::string_view data) {
  return decodeDocument([&] { return JSONValue::decode(data); });
}

Request Request::decodeReleasing(std::vector<std::string>&& pieces) {
  return decodeDocument([&] { return JSONValue::decodeReleasing(std::move(pieces)); });
}

Reply Reply::ok(std::string text) {
  Reply reply;
  reply.kind = Case::ok;
  reply.text = std::move(text);
  return reply;
}

Reply Reply::failure(ErrorKind kind, std::string_view message) {
  Reply reply;
  reply.kind = Case::failure;
  reply.errorKind = kind;
  reply.message = std::string(message);
  return reply;
}

std::string Reply::line() const {
  std::string out;
  switch (kind) {
    case Case::ok:
      out.reserve(text.size() + 32);
      out += "{\"status\":\"ok\",\"text\":";
      JSONText::appendString(out, text);
      break;
    case Case::failure:
      out += "{\"status\":\"error\",\"kind\":";
      JSONText::appendString(out, rawText(errorKind));
      out += ",\"message\":";
      JSONText::appendString(out, message);
      break;
  }
  out += "}\n";
  return out;
}

std::string Probe::line() const {
  std::string out = available ? "{\"available\":true,\"reason\":" : "{\"available\":false,\"reason\":";
  if (reason) {
    JSONText::appendString(out, *reason);
  } else {
    out += "null";
  }
  out += "}\n";
  return out;
}

}  // namespace TarnwickApple
