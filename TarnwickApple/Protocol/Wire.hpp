// The documents on the wire: the request read from stdin, and the reply and probe lines written
// to stdout.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "TarnwickApple/JSON/JSONValue.hpp"
#include "TarnwickApple/Errors/SidecarError.hpp"
#include "TarnwickApple/Schema/SchemaNote.hpp"

namespace TarnwickApple {

enum class UseCase { general, contentTagging };
// `defaultGuardrails` is the wire's "default" (a keyword in C++).
enum class Guardrails { defaultGuardrails, permissiveContentTransformations };

std::string_view wireString(UseCase value);
std::string_view wireString(Guardrails value);
std::optional<UseCase> useCase(std::string_view wire);
std::optional<Guardrails> guardrails(std::string_view wire);

// An earlier turn of the conversation: who said it, and what.
struct Turn {
  enum class Role { user, assistant };
  Role role = Role::user;
  std::string text;
  friend bool operator==(const Turn&, const Turn&) = default;
};

std::string_view wireString(Turn::Role value);

struct Sampling {
  enum class Case { random, greedy };
  // Only for reading "mode"; note the order differs from `Case`.
  enum class Mode { greedy, random };

  Case kind = Case::greedy;
  std::optional<std::int64_t> top;                // random only
  std::optional<double> probabilityThreshold;     // random only
  std::optional<std::uint64_t> seed;              // random only

  static Sampling greedy() { return Sampling{}; }
  static Sampling random(std::optional<std::int64_t> top, std::optional<double> probabilityThreshold,
                         std::optional<std::uint64_t> seed) {
    return Sampling{Case::random, top, probabilityThreshold, seed};
  }
  friend bool operator==(const Sampling&, const Sampling&) = default;
};

struct Options {
  std::optional<double> temperature;
  std::optional<std::int64_t> maximumResponseTokens;
  std::optional<Sampling> sampling;
  friend bool operator==(const Options&, const Options&) = default;
};

struct Request {
  std::string prompt;
  std::optional<std::string> instructions;
  UseCase useCase = UseCase::general;
  Guardrails guardrails = Guardrails::defaultGuardrails;
  std::optional<Options> options;
  std::optional<JSONValue> schema;
  std::vector<Turn> history;  // oldest first
  bool stream = false;        // partial lines before the final one

  // Why a document is no request: the member it is about (a JSON Pointer; none for text that
  // is not JSON) and a short reason.
  class Problem : public std::exception {
   public:
    Problem(std::optional<std::string> pointer, std::string reason)
        : pointer_(std::move(pointer)), reason_(std::move(reason)) {}
    const std::optional<std::string>& pointer() const { return pointer_; }
    const std::string& reason() const { return reason_; }
    const char* what() const noexcept override { return reason_.c_str(); }

   private:
    std::optional<std::string> pointer_;
    std::string reason_;
  };

  // The request in `data`, the whole of stdin. Throws SidecarError::malformedRequest for any
  // reason it cannot be read, and nothing else.
  static Request decode(std::string_view data);
  // The same reading, throwing a Problem that says where and why instead.
  static Request decodeExplaining(std::string_view data);
  // The same over stdin in the pieces it was read in, released while they are read.
  static Request decodeReleasing(std::vector<std::string>&& pieces);

  friend bool operator==(const Request&, const Request&) = default;
};

struct Reply {
  enum class Case { ok, failure };
  Case kind = Case::ok;
  std::string text;                                      // ok
  ErrorKind errorKind = ErrorKind::foundationModels;     // failure
  std::string message;                                   // failure

  static Reply ok(std::string text);
  static Reply failure(ErrorKind kind, std::string_view message);
  static Reply failure(const SidecarError& error) { return failure(error.kind(), error.message()); }

  // The compact JSON line and its final line feed. Never fails.
  std::string line() const;

  friend bool operator==(const Reply&, const Reply&) = default;
};

// A streamed answer so far: the partial line for `text` and its final line feed.
std::string partialLine(std::string_view text);

// The probe line's reason codes for an unavailable model.
namespace ProbeReason {
inline constexpr std::string_view deviceNotEligible = "DEVICE_NOT_ELIGIBLE";
inline constexpr std::string_view appleIntelligenceNotEnabled = "APPLE_INTELLIGENCE_NOT_ENABLED";
inline constexpr std::string_view modelNotReady = "MODEL_NOT_READY";
inline constexpr std::string_view unknown = "UNKNOWN";
}  // namespace ProbeReason

struct Probe {
  bool available = false;
  std::optional<std::string> reason;

  std::string line() const;

  friend bool operator==(const Probe&, const Probe&) = default;
};

// The schema checker's line: "ok" with the generation schema's description, or the failure line
// the sidecar would write. An explanation adds "notes" to the one, "pointer" and "reason" to the
// other; the members of the plain line are written first and unchanged.
struct CheckLine {
  std::optional<std::string> description;  // accepted: the generation schema's description
  Reply failure;                           // not accepted
  std::optional<SchemaNotes> notes;
  std::optional<std::string> pointer;
  std::optional<std::string> reason;

  static CheckLine accepted(std::string description);
  static CheckLine refused(Reply failure);

  // A piece of the line or text on its way out; false stops the writing (stdout failed).
  using Sink = std::function<bool(std::string_view)>;

  std::string line() const;
  // For people at a terminal: one line per note, pointer first, then the outcome.
  std::string text() const;
  // The same bytes handed to `sink` in pieces (a buffer of notes, the description as it stands),
  // so a line of a million notes is never held whole. False when the sink refused a piece.
  bool writeLine(const Sink& sink) const;
  bool writeText(const Sink& sink) const;
};

}  // namespace TarnwickApple
