// What one schema translation carries from node to node: its names, the depth, the document for
// references, and, when the translation is explained, the recorder and the current place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "TarnwickApple/Errors/SidecarError.hpp"
#include "TarnwickApple/JSON/Quoting.hpp"
#include "TarnwickApple/Schema/Namer.hpp"
#include "TarnwickApple/Schema/internal/Explain.hpp"

namespace TarnwickApple::SchemaTranslator {

struct Document;

// One per translation, passed by reference through it. Without a recorder nothing is said: no
// note text is built and the place is not kept.
class Context {
 public:
  // `document` is null when a piece is translated alone (tests), where references stay names.
  explicit Context(Namer& namer, Document* document = nullptr, Explain::Recorder* recorder = nullptr)
      : namer(namer), document(document), recorder(recorder) {}
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  Namer& namer;
  Document* const document;
  Explain::Recorder* const recorder;
  std::int64_t depth = 0;  // of the node being translated; definitions and the root are at 0

  // Room for a wanted name as it is built, emptied and reused from name to name: the namer keeps
  // the name it hands out, so no string is made for it.
  std::string& wantedName() {
    wanted_.clear();
    return wanted_;
  }

  // The current place as an RFC 6901 pointer, kept only while recording.
  const std::string& pointer() const { return pointer_; }
  bool recording() const { return recorder != nullptr; }

  // A note on the current node; `detail()` is called only when it is recorded.
  template <typename Detail>
  void note(std::string_view keyword, std::string_view effect, Detail detail) {
    if (recorder && muted_ == 0) recorder->note(pointer_, keyword, effect, detail());
  }
  // A note whose detail is `subject` quoted, then `rest` (a literal): a million of them over one
  // list keep the subjects and one copy of the rest.
  void noteAbout(std::string_view keyword, std::string_view effect, std::string_view subject, std::string_view rest) {
    if (recorder && muted_ == 0) recorder->noteAbout(pointer_, keyword, effect, subject, rest);
  }
  // A note whose detail is `prefix`, `number`, `tail` and `rest` (literals but the number): an
  // enumeration's members, numbered one after another, keep no bytes of their own.
  void noteNumbered(std::string_view keyword, std::string_view effect, std::string_view prefix, std::size_t number,
                    std::string_view tail, std::string_view rest) {
    if (recorder && muted_ == 0) recorder->noteNumbered(pointer_, keyword, effect, prefix, number, tail, rest);
  }
  // Throws `error`, telling the recorder the reason `reason()` and the current place.
  template <typename Reason>
  [[noreturn]] void refuse(const SidecarError& error, Reason reason) {
    if (recorder) recorder->refuse(pointer_, reason());
    throw error;
  }
  // The recorder's refusal so far, or "" when nothing records.
  std::string refusalReason() const { return recorder ? recorder->refusalReason : std::string(); }
  Explain::Recorder::Mark mark() const { return recorder ? recorder->mark() : Explain::Recorder::Mark{}; }
  void rollback(const Explain::Recorder::Mark& mark) {
    if (recorder) recorder->rollback(mark);
  }

 private:
  friend class Step;
  friend class Elsewhere;
  std::string pointer_;
  std::string wanted_;
  int muted_ = 0;  // inside inlined copies, whose own place says what is said of them
};

// One step down the document (a member name, or a member and an index), and for a nested schema
// one level deeper, for as long as it lives.
class Step {
 public:
  enum Depth { sameDepth, nested };
  Step(Context& context, std::string_view segment, Depth depth = sameDepth)
      : context_(context), mark_(context.pointer_.size()), deeper_(depth == nested) {
    if (context_.recorder) Quoting::appendPointerSegment(context_.pointer_, segment);
    if (deeper_) ++context_.depth;
  }
  Step(Context& context, std::string_view segment, std::string_view next, Depth depth = sameDepth)
      : Step(context, segment, depth) {
    if (context_.recorder) Quoting::appendPointerSegment(context_.pointer_, next);
  }
  // One level deeper without a step in the document (the alternatives a "type" list makes).
  static Step deeper(Context& context) { return Step(context); }
  ~Step() {
    if (context_.recorder) context_.pointer_.resize(mark_);
    if (deeper_) --context_.depth;
  }
  Step(const Step&) = delete;
  Step& operator=(const Step&) = delete;

 private:
  explicit Step(Context& context) : context_(context), mark_(context.pointer_.size()), deeper_(true) { ++context_.depth; }
  Context& context_;
  std::size_t mark_;
  bool deeper_;
};

// While alive, the place is `pointer`; for an inlined copy (muted) no notes are taken, since that
// place says them itself.
class Elsewhere {
 public:
  enum Notes { muted, notes };
  // The pointer is copied only while recording: without a recorder no place is kept.
  Elsewhere(Context& context, std::string_view pointer, Notes taken = muted) : context_(context), muted_(taken == muted) {
    if (!context_.recorder) return;
    saved_ = std::exchange(context_.pointer_, std::string(pointer));
    context_.muted_ += muted_ ? 1 : 0;
  }
  ~Elsewhere() {
    if (!context_.recorder) return;
    context_.pointer_ = std::move(saved_);
    context_.muted_ -= muted_ ? 1 : 0;
  }
  Elsewhere(const Elsewhere&) = delete;
  Elsewhere& operator=(const Elsewhere&) = delete;

 private:
  Context& context_;
  bool muted_;
  std::string saved_;
};

}  // namespace TarnwickApple::SchemaTranslator

namespace TarnwickApple::Explain {

// Notes every value-constraining keyword of `node` that its form does not read. Asked of every
// node, so the check whether anything records is made inline.
inline void unread(SchemaTranslator::Context& context, const JSONObject& node, Form form) {
  if (context.recording()) noteUnread(context, node, form);
}

}  // namespace TarnwickApple::Explain
