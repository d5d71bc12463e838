// The session driver: availability for the probe, and one generation for one request.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "TarnwickApple/FoundationModels/Engine.hpp"
#include "TarnwickApple/Protocol/Wire.hpp"

namespace TarnwickApple::Sidecar {

// Whether the model can be used, with a stable reason code when not. Never fails.
Probe probe(FoundationModels::Engine& engine);

// Returns when the model is available; throws one of the four availability errors otherwise.
void available(FoundationModels::Engine& engine);

// The reply text for one request; failures reach the caller unconverted. The request is taken
// whole so that its schema tree can be let go of once translated.
std::string respond(Request request, FoundationModels::Engine& engine);

// One request's reply; every failure is inside it. Never throws.
Reply generate(Request request, FoundationModels::Engine& engine);

// Writes one whole line to the parent; false once it could not.
using LineWriter = std::function<bool(std::string_view line)>;

// One streamed request: a partial line for each snapshot, each written as soon as it is there,
// then the line `generate` gives. Returns false when a line could not be written: generation
// was stopped then and nothing more was written. Never throws.
bool stream(Request request, FoundationModels::Engine& engine, const LineWriter& write);

}  // namespace TarnwickApple::Sidecar
