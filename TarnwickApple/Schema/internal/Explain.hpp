// The translator's diagnostic side channel. While a Recorder is installed (only the checker's
// explanation installs one), the translator tells it where it is, what it leaves unread or
// changes, and why it refuses; without one every call here is a test of one pointer.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "TarnwickApple/FoundationModels/GenerationSchema.hpp"
#include "TarnwickApple/JSON/JSONValue.hpp"
#include "TarnwickApple/Errors/SidecarError.hpp"
#include "TarnwickApple/Schema/SchemaNote.hpp"

namespace TarnwickApple::Explain {

// The forms a node is translated as, for telling which of its keywords went unread.
enum class Form { reference, choices, anyOf, oneOf, allOf, object, array, string, integer, number, boolean };

// A cause the framework's assembly may fail on, found while translating.
struct AssemblyCause {
  FoundationModels::GenerationSchema::SchemaError::Case kind;
  std::string pointer;
  std::string reason;
};

class Recorder {
 public:
  explicit Recorder(const JSONValue& document);
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  void push(std::string_view segment);
  void pop() {
    pointer_.resize(marks_.back());
    marks_.pop_back();
  }
  const std::string& pointer() const { return pointer_; }

  void note(std::string_view keyword, std::string_view effect, std::string detail);
  // What has been recorded so far, to take back what a dropped definition recorded.
  struct Mark {
    std::size_t notes = 0, causes = 0, named = 0, references = 0;
  };
  Mark mark() const { return {notes.size(), causes_.size(), named_.size(), references_.size()}; }
  void rollback(const Mark& mark);
  // Translating a node of another place: the pointer becomes that place's, and for an inlined
  // copy notes are not taken (muted), since that place says them itself. Returns the pointer to
  // go back to.
  std::string enterElsewhere(std::string pointer, bool mute);
  void leaveElsewhere(std::string pointer, bool mute);
  void refuse(std::string reason);
  void cause(AssemblyCause cause) { causes_.push_back(std::move(cause)); }
  void named(const std::string& name) { named_.emplace_back(name, pointer_); }
  void reference(const std::string& target, const std::string& name) { references_.push_back({target, name, pointer_}); }
  // A definition once translated: its form in words ("a string", "an array", ...).
  void definitionForm(const std::string& key, std::string form) { definitionForms_.emplace_back(key, std::move(form)); }
  // The assembly failed as `kind`: the refusal becomes the first recorded cause of that kind.
  void assemblyFailed(FoundationModels::GenerationSchema::SchemaError::Case kind);

  std::vector<SchemaNote> notes;
  std::string refusalPointer;
  std::string refusalReason;

 private:
  struct Reference {
    std::string target, name, pointer;
  };
  std::string pointer_;
  std::vector<std::size_t> marks_;
  std::vector<AssemblyCause> causes_;
  std::vector<std::pair<std::string, std::string>> named_;  // name, pointer
  std::vector<Reference> references_;
  int elsewhere_ = 0;
  std::vector<std::pair<std::string, std::string>> definitionForms_;
};

// The installed recorder, or nullptr.
Recorder* active();

// One step down the document while a recorder listens: a member name or an array index.
class Step {
 public:
  explicit Step(std::string_view segment) : recorder_(active()) {
    if (recorder_) recorder_->push(segment);
  }
  Step(std::string_view segment, std::string_view next) : Step(segment) {
    if (recorder_) recorder_->push(next);
    twice_ = true;
  }
  ~Step() {
    if (!recorder_) return;
    recorder_->pop();
    if (twice_) recorder_->pop();
  }
  Step(const Step&) = delete;
  Step& operator=(const Step&) = delete;

 private:
  Recorder* recorder_;
  bool twice_ = false;
};

// While alive, the recorder's place is `pointer` and it takes no notes (see enterElsewhere).
class Elsewhere {
 public:
  enum Notes { muted, notes };
  explicit Elsewhere(std::string pointer, Notes taken = muted) : recorder_(active()), taken_(taken) {
    if (recorder_) saved_ = recorder_->enterElsewhere(std::move(pointer), taken_ == muted);
  }
  ~Elsewhere() {
    if (recorder_) recorder_->leaveElsewhere(std::move(saved_), taken_ == muted);
  }
  Elsewhere(const Elsewhere&) = delete;
  Elsewhere& operator=(const Elsewhere&) = delete;

 private:
  Recorder* recorder_;
  Notes taken_;
  std::string saved_;
};

// A note on the current node; `detail` is called only while a recorder listens.
template <typename Detail>
void note(std::string_view keyword, std::string_view effect, Detail detail) {
  if (Recorder* recorder = active()) recorder->note(keyword, effect, detail());
}

// Throws `error`, telling a listening recorder the reason `reason()` and the current place.
template <typename Reason>
[[noreturn]] void refuse(const SidecarError& error, Reason reason) {
  if (Recorder* recorder = active()) recorder->refuse(reason());
  throw error;
}

// Notes every value-constraining keyword of `node` that its form does not read.
void unread(const JSONObject& node, Form form);


}  // namespace TarnwickApple::Explain
