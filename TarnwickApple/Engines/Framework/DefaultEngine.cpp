// The default engine of a build that chose the framework engine.
#include "TarnwickApple/Engines/Framework/FrameworkEngine.hpp"

namespace TarnwickApple::FoundationModels {

Engine& defaultEngine() {
  static Engines::FrameworkEngine engine;
  return engine;
}

}  // namespace TarnwickApple::FoundationModels
