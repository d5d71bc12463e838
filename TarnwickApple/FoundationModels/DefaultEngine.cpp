// This build's default engine: the reference engine.
#include "TarnwickApple/FoundationModels/Engine.hpp"
#include "TarnwickApple/FoundationModels/ReferenceEngine.hpp"

namespace TarnwickApple::FoundationModels {

Engine& defaultEngine() {
  static ReferenceEngine engine;
  return engine;
}

}  // namespace TarnwickApple::FoundationModels
