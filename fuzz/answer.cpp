// Fuzz target: any bytes as the framework boundary's answer document. Whatever comes back, a
// request through the framework engine gets exactly one reply line of a known shape: the text,
// or a failure the layer names. Leaks of the answer are caught by LeakSanitizer.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "Check.hpp"
#include "TarnwickApple/Engines/Framework/FrameworkBoundary.h"
#include "TarnwickApple/Engines/Framework/FrameworkEngine.hpp"
#include "TarnwickApple/Engines/Framework/BoundaryDocuments.hpp"
#include "TarnwickApple/Sidecar.hpp"
#include "TarnwickApple/Errors/SidecarError.hpp"
#include "TarnwickApple/Text/Unicode.hpp"

using namespace TarnwickApple;

namespace {

// The bytes the boundary answers with in this run, and the allocations still held.
std::string_view current;
int outstanding = 0;

const Request& request(bool structured) {
  static const Request plain =
      Request::decode(R"({"prompt":"p","use_case":"general","guardrails":"default"})");
  static const Request schema = Request::decode(
      R"({"prompt":"p","use_case":"general","guardrails":"default","schema":{"type":"object","properties":{"a":{"type":"string"}}}})");
  return structured ? schema : plain;
}

}  // namespace

extern "C" int32_t tarnwick_fm_availability(void) { return TARNWICK_FM_AVAILABLE; }

extern "C" char* tarnwick_fm_respond(const char*, size_t, size_t* answerLength) {
  char* copy = static_cast<char*>(std::malloc(current.size() + 1));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, current.data(), current.size());
  copy[current.size()] = '\0';
  *answerLength = current.size();
  ++outstanding;
  return copy;
}

// Streamed calls see the same bytes: first as one snapshot, then as the answer.
extern "C" char* tarnwick_fm_stream(const char* request, size_t requestLength, tarnwick_fm_snapshot_fn snapshot,
                                    void* context, size_t* answerLength) {
  snapshot(context, current.data(), current.size());
  return tarnwick_fm_respond(request, requestLength, answerLength);
}

extern "C" void tarnwick_fm_free(char* answer) {
  if (answer != nullptr) --outstanding;
  std::free(answer);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Engines::FrameworkEngine engine;
  current = std::string_view(reinterpret_cast<const char*>(data), size);
  const Engines::Boundary::Answer answer = Engines::Boundary::readAnswer(current);
  for (const bool structured : {false, true}) {
    const Reply reply = Sidecar::generate(request(structured), engine);
    Fuzz::require(outstanding == 0, "every answer is released");
    const std::string line = reply.line();
    Fuzz::require(!line.empty() && line.find('\n') == line.size() - 1, "exactly one line", line);
    Fuzz::require(Unicode::isValidUTF8(line), "the line is well-formed UTF-8", line);
    if (answer.text) {
      Fuzz::require(reply.kind == Reply::Case::ok, "a readable text answer is the reply's text", line);
      Fuzz::require(Unicode::isValidUTF8(*answer.text) && reply.text == *answer.text, "the text passes unchanged", line);
    } else {
      Fuzz::require(reply.kind == Reply::Case::failure, "no text is a failure reply", line);
      Fuzz::require(reply.errorKind != ErrorKind::foundationModels || reply.message == SidecarError::unknown.message(),
                    "only the failure \"unknown\" answers with the general kind", line);
    }
  }
  return 0;
}
