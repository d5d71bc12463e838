// Fuzz target: any bytes through the whole request path (decode, generate on the reference
// engine, the reply line), checked to give exactly one line of JSON with the right members, and
// to decode the same whole or in the pieces stdin is read in.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Check.hpp"
#include "TarnwickApple/Engines/Reference/ReferenceEngine.hpp"
#include "TarnwickApple/JSON/JSONValue.hpp"
#include "TarnwickApple/Sidecar.hpp"
#include "TarnwickApple/Errors/SidecarError.hpp"
#include "TarnwickApple/Protocol/Wire.hpp"

namespace {

using namespace TarnwickApple;

bool isNamedError(std::string_view kind, std::string_view message) {
  for (const SidecarError* error : SidecarError::all()) {
    if (rawText(error->kind()) == kind && error->message() == message) return true;
  }
  return false;
}

// The line read back: one object with exactly the members its status allows.
void checkLine(const std::string& line, const std::optional<Request>& request) {
  Fuzz::require(!line.empty() && line.back() == '\n', "the line ends in a line feed", line);
  Fuzz::require(line.find('\n') == line.size() - 1, "the line holds no other line feed", line);
  std::optional<JSONValue> value;
  try {
    value = JSONValue::decode(std::string_view(line).substr(0, line.size() - 1));
  } catch (const JSONValue::DecodeError&) {
    Fuzz::fail("the line is JSON", line);
  }
  const JSONObject* members = value->objectValue();
  Fuzz::require(members != nullptr, "the line is an object", line);
  const JSONValue* status = (*value)["status"];
  Fuzz::require(status && status->stringValue(), "the line has a string status", line);
  if (*status->stringValue() == "ok") {
    const JSONValue* text = (*value)["text"];
    Fuzz::require(members->size() == 2 && text && text->stringValue(), "an ok line has status and text only", line);
    Fuzz::require(request.has_value(), "only a decoded request is answered ok", line);
    const std::string& answer = *text->stringValue();
    const bool limited = request->options && request->options->maximumResponseTokens;
    if (request->schema) {
      try {
        JSONValue::decode(answer);
      } catch (const JSONValue::DecodeError&) {
        Fuzz::fail("a structured answer is JSON text", answer);
      }
    } else if (limited) {
      Fuzz::require(request->prompt.compare(0, answer.size(), answer) == 0, "a cut echo is a prefix of the prompt", line);
    } else {
      Fuzz::require(answer == request->prompt, "a plain answer echoes the prompt", line);
    }
    return;
  }
  Fuzz::require(*status->stringValue() == "error", "the status is ok or error", line);
  const JSONValue* kind = (*value)["kind"];
  const JSONValue* message = (*value)["message"];
  Fuzz::require(members->size() == 3 && kind && kind->stringValue() && message && message->stringValue(),
                "an error line has status, kind and message only", line);
  Fuzz::require(isNamedError(*kind->stringValue(), *message->stringValue()), "the error is one of the named values", line);
}

// Streamed, the same request gives partial lines, growing and together under twice the final
// text, and then exactly the unstreamed line.
void checkStream(const Request& request, const std::string& finalLine, Engines::ReferenceEngine& engine) {
  std::vector<std::string> lines;
  Fuzz::require(Sidecar::stream(request, engine, [&](std::string_view line) {
    lines.emplace_back(line);
    return true;
  }), "a stream to a writable parent ends");
  Fuzz::require(!lines.empty() && lines.back() == finalLine, "the streamed final line is the unstreamed line", finalLine);
  std::size_t partialBytes = 0;
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
    const JSONValue value = JSONValue::decode(std::string_view(lines[i]).substr(0, lines[i].size() - 1));
    const JSONValue* status = value["status"];
    const JSONValue* text = value["text"];
    Fuzz::require(value.objectValue()->size() == 2 && status && status->stringValue() &&
                      *status->stringValue() == "partial" && text && text->stringValue(),
                  "a partial line has status partial and text only", lines[i]);
    partialBytes += text->stringValue()->size();
  }
  const std::size_t finalText = finalLine.size();  // bounds the final text from above
  Fuzz::require(partialBytes <= 2 * finalText, "partial texts stay under twice the final text", finalLine);
}

// The request read from the input cut into pieces, as the entry reads stdin, or nothing.
std::optional<Request> decodedInPieces(std::string_view input) {
  const std::size_t width = input.empty() ? 1 : 1 + static_cast<unsigned char>(input.back()) % 17;
  std::vector<std::string> pieces;
  for (std::size_t at = 0; at < input.size(); at += width) pieces.emplace_back(input.substr(at, width));
  try {
    return Request::decodeReleasing(std::move(pieces));
  } catch (const SidecarError& error) {
    Fuzz::require(error == SidecarError::malformedRequest, "decoding pieces fails only as a malformed request");
  } catch (...) {
    Fuzz::fail("decoding pieces throws only SidecarError");
  }
  return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Engines::ReferenceEngine engine;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::optional<Request> request;
  Reply reply;
  try {
    request = Request::decode(input);
  } catch (const SidecarError& error) {
    Fuzz::require(error == SidecarError::malformedRequest, "decoding fails only as a malformed request");
    reply = Reply::failure(error);
  } catch (...) {
    Fuzz::fail("decoding throws only SidecarError");
  }
  Fuzz::require(decodedInPieces(input) == request, "the input read in pieces decodes the same");
  if (request) reply = Sidecar::generate(*request, engine);
  checkLine(reply.line(), request);
  if (request && request->stream) checkStream(*request, reply.line(), engine);
  return 0;
}
