// The reference engine's streamed snapshots: which prefixes of a finished answer go out, and how
// a prefix of a JSON answer is closed into JSON text of the answer so far.
#pragma once

#include <cstddef>
#include <string_view>

#include "TarnwickApple/FoundationModels/Engine.hpp"

namespace TarnwickApple::Engines::Snapshots {

// Picks the snapshots that go out: the first one, then each at least `growth` times as long as
// the last that went out, and never the whole answer (the final line carries that). The partial
// texts so add up to less than twice the final text however long it is, where a snapshot per
// token would add up to its square.
class Pacer {
 public:
  static constexpr std::size_t growth = 2;

  explicit Pacer(std::size_t finalBytes) : final_(finalBytes) {}
  bool due(std::size_t bytes) const { return bytes >= next_ && bytes < final_; }
  void sent(std::size_t bytes) { next_ = bytes * growth; }

 private:
  std::size_t final_;
  std::size_t next_ = 1;
};

// Hands `sink` paced snapshots of plain `text`, cut at token boundaries.
// Throws GenerationStopped when `sink` returns false.
void ofText(std::string_view text, const FoundationModels::SnapshotSink& sink);

// Hands `sink` paced snapshots of the compact JSON text `json` as it grows, each itself JSON:
// the values complete so far, an open string cut between characters, the open arrays and
// objects closed. Throws GenerationStopped when `sink` returns false.
void ofJSON(std::string_view json, const FoundationModels::SnapshotSink& sink);

}  // namespace TarnwickApple::Engines::Snapshots
