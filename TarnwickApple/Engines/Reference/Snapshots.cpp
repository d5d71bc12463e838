// The reference engine's streamed snapshots of plain and JSON answers.
#include "TarnwickApple/Engines/Reference/internal/Snapshots.hpp"

#include <string>
#include <vector>

#include "TarnwickApple/Engines/Reference/internal/Tokenizer.hpp"

namespace TarnwickApple::Engines::Snapshots {
namespace {

void send(const FoundationModels::SnapshotSink& sink, std::string_view snapshot) {
  if (!sink(snapshot)) throw FoundationModels::GenerationStopped();
}

bool continuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

void ofText(std::string_view text, const FoundationModels::SnapshotSink& sink) {
  Pacer pacer(text.size());
  for (std::size_t end = 0; end < text.size();) {
    end += Tokenizer::prefixLength(text.substr(end), 1);
    if (!pacer.due(end)) continue;
    send(sink, text.substr(0, end));
    pacer.sent(end);
  }
}

void ofJSON(std::string_view json, const FoundationModels::SnapshotSink& sink) {
  Pacer pacer(json.size());
  std::vector<char> open;        // '{' or '[' for each container around the cut
  bool inString = false;
  bool stringIsKey = false;
  bool expectingKey = false;     // in an object, before a member's name
  std::string snapshot;
  // The prefix json[0, end) closed: an open value string ends, then each container.
  const auto offer = [&](std::size_t end, bool closeString) {
    if (!pacer.due(end)) return;
    snapshot.assign(json.substr(0, end));
    if (closeString) snapshot += '"';
    for (auto it = open.rbegin(); it != open.rend(); ++it) snapshot += *it == '{' ? '}' : ']';
    if (snapshot.size() == json.size()) return;  // the whole answer: the final line's
    send(sink, snapshot);
    pacer.sent(end);
  };
  for (std::size_t i = 0; i < json.size(); ++i) {
    const char c = json[i];
    if (inString) {
      if (c == '\\') {
        i += json.substr(i + 1, 1) == "u" ? 5 : 1;  // an escape is never cut
      } else if (c == '"') {
        inString = false;
        if (!stringIsKey) offer(i + 1, false);
      } else if (!stringIsKey && !continuationByte(c)) {
        offer(i, true);  // between two characters of a value string
      }
      continue;
    }
    switch (c) {
      case '{':
      case '[':
        open.push_back(c);
        expectingKey = c == '{';
        offer(i + 1, false);
        break;
      case '}':
      case ']':
        if (!open.empty()) open.pop_back();
        expectingKey = false;
        offer(i + 1, false);
        break;
      case '"':
        inString = true;
        stringIsKey = expectingKey;
        if (!stringIsKey) offer(i + 1, true);
        break;
      case ',':
        expectingKey = !open.empty() && open.back() == '{';
        break;
      case ':':
        expectingKey = false;
        break;
      default: {
        // A number or literal is only whole where it ends.
        const bool ends = i + 1 == json.size() || json[i + 1] == ',' || json[i + 1] == '}' || json[i + 1] == ']';
        if (ends) offer(i + 1, false);
        break;
      }
    }
  }
}

}  // namespace TarnwickApple::Engines::Snapshots
