// A request's options as the framework's generation options.
#pragma once

#include <optional>

#include "TarnwickApple/FoundationModels/GenerationOptions.hpp"
#include "TarnwickApple/Protocol/Wire.hpp"

namespace TarnwickApple {

// The framework options for the request's options. Throws SidecarError::conflictingSampling.
FoundationModels::GenerationOptions generationOptions(const std::optional<Options>& options);

}  // namespace TarnwickApple
