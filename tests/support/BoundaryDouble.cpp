// A test double of the framework boundary's C functions. It answers through the reference
// engine, or as the environment variable TARNWICK_FRAMEWORK_DOUBLE says (a streamed call first
// hands over the reference engine's snapshots, so a failure comes after partial lines):
//   unavailable:<deviceNotEligible|appleIntelligenceNotEnabled|modelNotReady|other|NUMBER>
//   fail:<failure name of the answer document>
//   broken:<null|empty|notJSON|invalidUTF8|nul|array|noVersion|wrongVersion|neither|both|
//           textNotString|failureNotString|unknownFailure|truncated|enormous>
// Any other setting is refused: the process writes why on stderr and exits with status 125, so a
// misspelt setting fails its test instead of answering as some listed setting does.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "TarnwickApple/Engines/Framework/FrameworkBoundary.h"
#include "testing/ReferenceBoundary.hpp"
#include "TarnwickApple/Engines/Framework/BoundaryDocuments.hpp"

namespace {

namespace Boundary = TarnwickApple::Engines::Boundary;

[[noreturn]] void refuse(std::string_view what, std::string_view value) {
  std::fprintf(stderr, "boundary double: %.*s \"%.*s\" is not one this double knows\n", static_cast<int>(what.size()),
               what.data(), static_cast<int>(value.size()), value.data());
  std::exit(125);
}

std::string_view setting() {
  const char* value = std::getenv("TARNWICK_FRAMEWORK_DOUBLE");
  return value == nullptr ? std::string_view() : std::string_view(value);
}

// The part after `prefix:`, when the setting starts so.
bool switched(std::string_view prefix, std::string_view& rest) {
  const std::string_view value = setting();
  if (value.size() <= prefix.size() || value.substr(0, prefix.size()) != prefix || value[prefix.size()] != ':') {
    return false;
  }
  rest = value.substr(prefix.size() + 1);
  return true;
}

char* handOver(std::string_view bytes, std::size_t* length) {
  char* copy = static_cast<char*>(std::malloc(bytes.size() + 1));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, bytes.data(), bytes.size());
  copy[bytes.size()] = '\0';
  *length = bytes.size();
  return copy;
}

char* enormous(std::size_t* length) {
  // One byte over the engine's limit, and valid JSON otherwise.
  const std::size_t size = Boundary::maximumAnswerBytes + 1;
  char* bytes = static_cast<char*>(std::malloc(size + 1));
  if (bytes == nullptr) return nullptr;
  const std::string_view head = "{\"version\":1,\"text\":\"";
  std::memcpy(bytes, head.data(), head.size());
  std::memset(bytes + head.size(), 'a', size - head.size() - 2);
  bytes[size - 2] = '"';
  bytes[size - 1] = '}';
  bytes[size] = '\0';
  *length = size;
  return bytes;
}

char* broken(std::string_view kind, std::size_t* length) {
  using namespace std::string_view_literals;
  if (kind == "null") return nullptr;
  if (kind == "enormous") return enormous(length);
  struct Case {
    std::string_view kind;
    std::string_view bytes;
  };
  static constexpr Case cases[] = {
      {"empty", ""},
      {"notJSON", "the model said hello"},
      {"invalidUTF8", "{\"version\":1,\"text\":\"\xC3\x28\"}"},
      {"nul", "{\"version\":1,\"text\":\"a\"}\0garbage"sv},
      {"array", "[1]"},
      {"noVersion", "{\"text\":\"a\"}"},
      {"wrongVersion", "{\"version\":2,\"text\":\"a\"}"},
      {"neither", "{\"version\":1}"},
      {"both", "{\"version\":1,\"text\":\"a\",\"failure\":\"refusal\"}"},
      {"textNotString", "{\"version\":1,\"text\":5}"},
      {"failureNotString", "{\"version\":1,\"failure\":[\"refusal\"]}"},
      {"unknownFailure", "{\"version\":1,\"failure\":\"meltdown\"}"},
      {"truncated", "{\"version\":1,\"text\":\"a"},
  };
  for (const Case& entry : cases) {
    if (entry.kind == kind) return handOver(entry.bytes, length);
  }
  refuse("broken answer", kind);
}

}  // namespace

extern "C" int32_t tarnwick_fm_availability(void) {
  std::string_view reason;
  if (!switched("unavailable", reason)) {
    if (!setting().empty() && !switched("fail", reason) && !switched("broken", reason)) refuse("setting", setting());
    return TarnwickApple::Engines::referenceAvailability();
  }
  if (reason == "deviceNotEligible") return TARNWICK_FM_DEVICE_NOT_ELIGIBLE;
  if (reason == "appleIntelligenceNotEnabled") return TARNWICK_FM_APPLE_INTELLIGENCE_NOT_ENABLED;
  if (reason == "modelNotReady") return TARNWICK_FM_MODEL_NOT_READY;
  if (reason == "other") return TARNWICK_FM_UNAVAILABLE_OTHER;
  int32_t code = 0;
  const auto [end, error] = std::from_chars(reason.data(), reason.data() + reason.size(), code);
  if (error != std::errc() || end != reason.data() + reason.size()) refuse("availability reason", reason);
  return code;
}

extern "C" char* tarnwick_fm_respond(const char* request, size_t requestLength, size_t* answerLength) {
  std::string_view rest;
  if (switched("broken", rest)) return broken(rest, answerLength);
  if (switched("fail", rest)) {
    Boundary::Failure failure = tarnwick_fm_failure_other;
    if (tarnwick_fm_failure_named(rest.data(), rest.size(), &failure) == 0) refuse("failure name", rest);
    return handOver(Boundary::failureAnswer(failure), answerLength);
  }
  const std::string answer = TarnwickApple::Engines::answerRequestDocument(std::string_view(request, requestLength));
  if (answer.empty()) return nullptr;
  return handOver(answer, answerLength);
}

extern "C" char* tarnwick_fm_stream(const char* request, size_t requestLength, tarnwick_fm_snapshot_fn snapshot,
                                    void* context, size_t* answerLength) {
  bool stopped = false;
  const auto sink = [&](std::string_view text) {
    stopped = stopped || snapshot(context, text.data(), text.size()) == 0;
    return !stopped;
  };
  const std::string answer =
      TarnwickApple::Engines::answerStreamedRequestDocument(std::string_view(request, requestLength), sink);
  if (stopped || !setting().empty()) return tarnwick_fm_respond(request, requestLength, answerLength);
  if (answer.empty()) return nullptr;
  return handOver(answer, answerLength);
}

extern "C" void tarnwick_fm_free(char* answer) { std::free(answer); }
