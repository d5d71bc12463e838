// The reference engine's structured answers: compact JSON text that conforms to a generation
// schema, canonical under greedy sampling, reproducible under a seed, within the token limits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "TarnwickApple/Engines/Reference/internal/AnswerBuffer.hpp"
#include "TarnwickApple/FoundationModels/GenerationOptions.hpp"
#include "TarnwickApple/FoundationModels/GenerationSchema.hpp"

namespace TarnwickApple::Engines {
using namespace FoundationModels;
}  // namespace TarnwickApple::Engines

namespace TarnwickApple::Engines::StructuredGenerator {

// Past this many nested values an answer only finishes: optional properties left out, arrays at
// their minimum, the alternative that ends soonest.
inline constexpr std::uint32_t expansionDepth = 12;
// Optional properties, extra elements and longer alternatives are added only while the answer
// stays below this many bytes (and within its token limits), so growth stays modest.
inline constexpr std::size_t expansionBytes = std::size_t{64} << 10;
// Elements a random answer adds beyond an array's minimum.
inline constexpr std::uint64_t extraElements = 3;

// Throws LanguageModelSession::GenerationError: exceededContextWindowSize for a schema without
// a finite answer or an answer past the context window, decodingFailure for an answer past the
// response-token limit or a value no guide admits.
std::string generate(const GenerationSchema& schema, const GenerationOptions& options, const AnswerLimits& limits);

}  // namespace TarnwickApple::Engines::StructuredGenerator
