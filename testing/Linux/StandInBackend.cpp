// Makes the reference engine the Linux stand-in framework's backend, registered before main:
// the stand-in's sessions send it boundary request documents and get its answer documents back.
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "testing/Linux/StandIn.h"
#include "testing/Linux/StandInAnswers.hpp"
#include "testing/ReferenceBoundary.hpp"

namespace TarnwickApple::Engines::StandIn {
namespace {

int32_t availability() { return referenceAvailability(); }

char* respond(const char* request, size_t length, size_t* answerLength) {
  try {
    return copyAnswer(answerRequestDocument(std::string_view(request, length)), answerLength);
  } catch (...) {
    return nullptr;  // out of memory: the stand-in reports an unreadable answer
  }
}

const bool registered = (tarnwick_standin_register(availability, respond, releaseAnswer),
                         tarnwick_standin_register_stream(streamedReferenceAnswer), true);

}  // namespace
}  // namespace TarnwickApple::Engines::StandIn
