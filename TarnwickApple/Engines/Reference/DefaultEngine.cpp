// The default engine of a build that chose the reference engine.
#include "TarnwickApple/Engines/Reference/ReferenceEngine.hpp"

namespace TarnwickApple::FoundationModels {

Engine& defaultEngine() {
  static Engines::ReferenceEngine engine;
  return engine;
}

}  // namespace TarnwickApple::FoundationModels
