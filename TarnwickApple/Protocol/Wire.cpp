// Reading the request document and writing the reply and probe lines.
#include "TarnwickApple/Protocol/Wire.hpp"

#include <cmath>
#include <initializer_list>

#include "TarnwickApple/JSON/JSONText.hpp"
#include "TarnwickApple/JSON/Quoting.hpp"

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

std::string_view wireString(Turn::Role value) {
  switch (value) {
    case Turn::Role::user: return "user";
    case Turn::Role::assistant: return "assistant";
  }
  return "user";
}

namespace {

using Quoting::quoted;

// One walk reads the document for both decodings: every failure is a Problem naming the member,
// which `decode` turns into its single error and `decodeExplaining` passes on.
[[noreturn]] void problem(std::string_view at, std::string reason) {
  throw Request::Problem(std::string(at), std::move(reason));
}

std::string at(std::string_view parent, std::string_view name) {
  std::string pointer(parent);
  Quoting::appendPointerSegment(pointer, name);
  return pointer;
}

// The member's value, or nullptr when it is missing or null (both mean absent).
const JSONValue* member(const JSONObject& object, std::string_view name) {
  const JSONValue* value = object.find(name);
  return value == nullptr || value->isNull() ? nullptr : value;
}

const JSONValue& required(const JSONObject& object, std::string_view parent, std::string_view name) {
  const JSONValue* value = member(object, name);
  if (value == nullptr) problem(at(parent, name), "missing");
  return *value;
}

std::string_view text(const JSONValue& value, std::string_view pointer) {
  const auto s = value.stringValue();
  if (!s) problem(pointer, quoted(value) + " is not a string");
  return *s;
}

const JSONObject& object(const JSONValue& value, std::string_view pointer) {
  const JSONObject* o = value.objectValue();
  if (o == nullptr) problem(pointer, quoted(value) + " is not an object");
  return *o;
}

std::string_view wireString(Sampling::Mode mode) {
  switch (mode) {
    case Sampling::Mode::greedy: return "greedy";
    case Sampling::Mode::random: return "random";
  }
  return "greedy";
}

// "a" is not one of "b", "c".
template <typename Enumeration>
std::string notOneOf(const std::string& given, std::initializer_list<Enumeration> values) {
  std::string reason = quoted(given) + " is not one of ";
  bool first = true;
  for (Enumeration value : values) {
    if (!first) reason += ", ";
    reason += quoted(wireString(value));
    first = false;
  }
  return reason;
}

// Why a member has no whole-number reading within `range`.
std::string wholeNumberReason(const JSONValue& value, std::string_view range) {
  const auto d = value.doubleValue();
  if (!d) return quoted(value) + " is not a number";
  if (std::trunc(*d) != *d) return quoted(value) + " is not a whole number";
  return quoted(value) + " is out of range (" + std::string(range) + ")";
}

std::optional<std::string> optionalText(const JSONObject& o, std::string_view parent, std::string_view name) {
  const JSONValue* value = member(o, name);
  if (value == nullptr) return std::nullopt;
  return std::string(text(*value, at(parent, name)));
}

std::optional<double> optionalDouble(const JSONObject& o, std::string_view parent, std::string_view name) {
  const JSONValue* value = member(o, name);
  if (value == nullptr) return std::nullopt;
  const auto d = value->doubleValue();
  if (!d) problem(at(parent, name), quoted(*value) + " is not a number");
  return d;
}

// The whole-number readings ("maximum_response_tokens", "top", "seed").
std::optional<std::int64_t> optionalInteger(const JSONObject& o, std::string_view parent, std::string_view name) {
  const JSONValue* value = member(o, name);
  if (value == nullptr) return std::nullopt;
  const auto i = value->exactIntegerValue();
  if (!i) problem(at(parent, name), wholeNumberReason(*value, "from -2^63 to 2^63-1"));
  return i;
}

std::optional<std::uint64_t> optionalUnsigned(const JSONObject& o, std::string_view parent, std::string_view name) {
  const JSONValue* value = member(o, name);
  if (value == nullptr) return std::nullopt;
  const auto u = value->unsignedValue();
  if (!u) problem(at(parent, name), wholeNumberReason(*value, "from 0 to 2^64-1"));
  return u;
}

Sampling readSampling(const JSONObject& o, std::string_view pointer) {
  const std::string mode(text(required(o, pointer, "mode"), at(pointer, "mode")));
  if (mode == "greedy") return Sampling::greedy();  // nothing else is looked at
  if (mode != "random") problem(at(pointer, "mode"), notOneOf(mode, {Sampling::Mode::greedy, Sampling::Mode::random}));
  auto top = optionalInteger(o, pointer, "top");
  auto threshold = optionalDouble(o, pointer, "probability_threshold");
  auto seed = optionalUnsigned(o, pointer, "seed");
  return Sampling::random(top, threshold, seed);
}

Options readOptions(const JSONObject& o, std::string_view pointer) {
  Options options;
  options.temperature = optionalDouble(o, pointer, "temperature");
  options.maximumResponseTokens = optionalInteger(o, pointer, "maximum_response_tokens");
  if (const JSONValue* sampling = member(o, "sampling")) {
    const std::string samplingPointer = at(pointer, "sampling");
    options.sampling = readSampling(object(*sampling, samplingPointer), samplingPointer);
  }
  return options;
}

// "history": null or absent is none, and so is []; every turn is {"role", "text"}.
std::vector<Turn> readHistory(const JSONObject& o) {
  const JSONValue* value = member(o, "history");
  if (value == nullptr) return {};
  const JSONElements* turns = value->arrayValue();
  if (!turns) problem("/history", quoted(*value) + " is not an array");
  std::vector<Turn> history;
  history.reserve(turns->size());
  for (std::size_t i = 0; i < turns->size(); ++i) {
    const std::string pointer = "/history/" + std::to_string(i);
    const JSONObject& turn = object((*turns)[i], pointer);
    const std::string role(text(required(turn, pointer, "role"), at(pointer, "role")));
    Turn read;
    if (role == wireString(Turn::Role::assistant)) {
      read.role = Turn::Role::assistant;
    } else if (role != wireString(Turn::Role::user)) {
      problem(at(pointer, "role"), notOneOf(role, {Turn::Role::user, Turn::Role::assistant}));
    }
    read.text = text(required(turn, pointer, "text"), at(pointer, "text"));
    history.push_back(std::move(read));
  }
  return history;
}

bool readStream(const JSONObject& o) {
  const JSONValue* value = member(o, "stream");
  if (value == nullptr) return false;
  const auto flag = value->boolValue();
  if (!flag) problem("/stream", quoted(*value) + " is not a boolean");
  return *flag;
}

Request readRequest(JSONObject& o) {
  Request request;
  (void)text(required(o, "", "prompt"), "/prompt");
  // The prompt may be megabytes: take it over rather than copy it.
  request.prompt = *JSONValue::releaseString(std::move(*o.extract("prompt")));
  request.instructions = optionalText(o, "", "instructions");
  const std::string use(text(required(o, "", "use_case"), "/use_case"));
  const auto useValue = useCase(use);
  if (!useValue) problem("/use_case", notOneOf(use, {UseCase::general, UseCase::contentTagging}));
  request.useCase = *useValue;
  const std::string rails(text(required(o, "", "guardrails"), "/guardrails"));
  const auto railsValue = guardrails(rails);
  if (!railsValue) {
    problem("/guardrails", notOneOf(rails, {Guardrails::defaultGuardrails, Guardrails::permissiveContentTransformations}));
  }
  request.guardrails = *railsValue;
  if (const JSONValue* options = member(o, "options")) request.options = readOptions(object(*options, "/options"), "/options");
  if (const JSONValue* schema = member(o, "schema")) request.schema = *schema;
  request.history = readHistory(o);
  request.stream = readStream(o);
  return request;
}

// The request in the document `readDocument` gives; a Problem for a document that is none.
template <typename ReadDocument>
Request readDocumentExplaining(ReadDocument readDocument) {
  JSONObject members;
  {
    JSONValue document;
    try {
      document = readDocument();
    } catch (const JSONValue::DecodeError& error) {
      // A number no double holds is JSON: it is a bad value where it stands, like any other.
      if (const auto& number = error.outOfRange()) {
        problem(number->pointer, number->literal + " is out of range (beyond the largest 64-bit floating-point number)");
      }
      throw Request::Problem(std::nullopt, "not JSON at byte " + std::to_string(error.offset()) + ": " + error.reason());
    }
    const JSONObject* top = document.objectValue();
    if (top == nullptr) problem("", "the request is " + std::string(Quoting::kindName(document)) + ", not an object");
    members = *top;
  }  // now the only owner of the members' values
  return readRequest(members);
}

template <typename ReadDocument>
Request decodeDocument(ReadDocument readDocument) {
  try {
    return readDocumentExplaining(readDocument);
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

Request Request::decodeExplaining(std::string_view data) {
  return readDocumentExplaining([&] { return JSONValue::decode(data); });
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

std::string partialLine(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 32);
  out += "{\"status\":\"partial\",\"text\":";
  JSONText::appendString(out, text);
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

namespace TarnwickApple {
namespace {

// Appends `text` (well-formed UTF-8) so that it cannot break the line it is on: control
// characters are written as a JSON string writes them ("\n", "\u001b"), and so are DEL, the C1
// controls and the line and paragraph separators, which some readers take as line ends.
void appendOnOneLine(std::string& out, std::string_view text) {
  static constexpr char hex[] = "0123456789abcdef";
  const auto escape = [&](unsigned scalar) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += hex[(scalar >> shift) & 0xF];
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const unsigned char next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    const unsigned char third = i + 2 < text.size() ? static_cast<unsigned char>(text[i + 2]) : 0;
    switch (c) {
      case '\n': out += "\\n"; continue;
      case '\r': out += "\\r"; continue;
      case '\t': out += "\\t"; continue;
      case '\b': out += "\\b"; continue;
      case '\f': out += "\\f"; continue;
    }
    if (c < 0x20 || c == 0x7F) {
      escape(c);
    } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {  // U+0080 to U+009F
      escape(next);
      i += 1;
    } else if (c == 0xE2 && next == 0x80 && (third == 0xA8 || third == 0xA9)) {  // U+2028, U+2029
      escape(0x2000u | (third - 0x80u));
      i += 2;
    } else {
      out += static_cast<char>(c);
    }
  }
}

}  // namespace

CheckLine CheckLine::accepted(std::string description) {
  CheckLine line;
  line.description = std::move(description);
  return line;
}

CheckLine CheckLine::refused(Reply failure) {
  CheckLine line;
  line.failure = std::move(failure);
  return line;
}

namespace {

// Collects a line's bytes and hands them on whenever a buffer's worth is ready, so the caller
// holds one buffer rather than the whole line; after a refused piece nothing more is sent.
class PieceWriter {
 public:
  // Big enough that a pipe sees few writes, small beside any input worth streaming.
  static constexpr std::size_t bufferSize = 64 * 1024;

  explicit PieceWriter(const CheckLine::Sink& sink) : sink_(sink) { buffer_.reserve(bufferSize + 1024); }

  std::string& buffer() { return buffer_; }
  // Sends the buffer once it is full (call between notes).
  void pause() {
    if (buffer_.size() >= bufferSize) flush();
  }
  // Sends what is buffered, then `bytes` as they stand (no copy of a long description).
  void passThrough(std::string_view bytes) {
    flush();
    if (ok_) ok_ = sink_(bytes);
  }
  bool finish() {
    flush();
    return ok_;
  }

 private:
  void flush() {
    if (ok_ && !buffer_.empty()) ok_ = sink_(buffer_);
    buffer_.clear();
  }

  const CheckLine::Sink& sink_;
  std::string buffer_;
  bool ok_ = true;
};

}  // namespace

std::string CheckLine::line() const {
  std::string out;
  writeLine([&](std::string_view piece) { return out += piece, true; });
  return out;
}

std::string CheckLine::text() const {
  std::string out;
  writeText([&](std::string_view piece) { return out += piece, true; });
  return out;
}

bool CheckLine::writeLine(const Sink& sink) const {
  PieceWriter writer(sink);
  std::string& out = writer.buffer();
  if (description) {
    out += "{\"status\":\"ok\",\"schema\":";
    writer.passThrough(*description);
  } else {
    out = failure.line();
    out.resize(out.size() - 2);  // reopened after the plain members: "}\n"
  }
  if (notes) {
    out += ",\"notes\":[";
    std::string detail;  // one note's sentence at a time
    bool first = true;
    notes->forEach([&](const SchemaNotes::View& note) {
      out += first ? "{\"pointer\":" : ",{\"pointer\":";
      first = false;
      JSONText::appendString(out, note.pointer);
      out += ",\"keyword\":";
      JSONText::appendString(out, note.keyword);
      out += ",\"effect\":";
      JSONText::appendString(out, note.effect);
      out += ",\"detail\":";
      detail.clear();
      note.appendDetail(detail);
      JSONText::appendString(out, detail);
      out += '}';
      writer.pause();
      return true;
    });
    out += ']';
  }
  if (pointer) {
    out += ",\"pointer\":";
    JSONText::appendString(out, *pointer);
  }
  if (reason) {
    out += ",\"reason\":";
    JSONText::appendString(out, *reason);
  }
  out += "}\n";
  return writer.finish();
}

bool CheckLine::writeText(const Sink& sink) const {
  PieceWriter writer(sink);
  std::string& out = writer.buffer();
  // The root's pointer is empty; people see it as "(root)".
  const auto place = [&](std::string_view pointer) {
    if (pointer.empty()) return static_cast<void>(out += "(root)");
    appendOnOneLine(out, pointer);
  };
  if (notes) {
    std::string detail;  // one note's sentence at a time
    notes->forEach([&](const SchemaNotes::View& note) {
      place(note.pointer);
      out += "  ";
      appendOnOneLine(out, note.keyword);
      out += "  ";
      appendOnOneLine(out, note.effect);
      out += ": ";
      detail.clear();
      note.appendDetail(detail);
      appendOnOneLine(out, detail);
      out += '\n';
      writer.pause();
      return true;
    });
  }
  if (description) {
    const std::size_t count = notes ? notes->size() : 0;
    out += "ok: accepted with " + std::to_string(count) + (count == 1 ? " note\n" : " notes\n");
    return writer.finish();
  }
  out += "refused";
  if (pointer) {
    out += " at ";
    place(*pointer);
  }
  out += ": ";
  appendOnOneLine(out, reason ? *reason : failure.message);
  out += " (";
  out += rawText(failure.errorKind);
  out += ": ";
  appendOnOneLine(out, failure.message);
  out += ")\n";
  return writer.finish();
}

}  // namespace TarnwickApple
