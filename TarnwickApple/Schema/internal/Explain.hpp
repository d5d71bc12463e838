// What the translator tells a recorder, when its context carries one (only the checker's
// explanation does): what it leaves unread or changes, why it refuses, and what the framework's
// assembly may fail on.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "TarnwickApple/FoundationModels/GenerationSchema.hpp"
#include "TarnwickApple/JSON/JSONValue.hpp"
#include "TarnwickApple/Schema/SchemaNote.hpp"

namespace TarnwickApple::SchemaTranslator {
class Context;
}

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
  Recorder() = default;
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // The keyword and the effect are kept as views: literals, or the keyword tables' own words.
  void note(const std::string& pointer, std::string_view keyword, std::string_view effect, std::string detail);
  // A note whose detail is `subject` quoted and then `rest` (a literal): kept as those two pieces.
  void noteAbout(const std::string& pointer, std::string_view keyword, std::string_view effect, std::string_view subject,
                 std::string_view rest);
  // A note whose detail is `prefix`, `number`, `tail` and `rest` (literals but the number).
  void noteNumbered(const std::string& pointer, std::string_view keyword, std::string_view effect,
                    std::string_view prefix, std::size_t number, std::string_view tail, std::string_view rest) {
    notes.pushNumbered(pointer, keyword, effect, prefix, number, tail, rest);
  }
  // What has been recorded so far, to take back what a dropped definition recorded.
  struct Mark {
    std::size_t notes = 0, causes = 0, named = 0, references = 0;
  };
  Mark mark() const { return {notes.size(), causes_.size(), named_.size(), references_.size()}; }
  void rollback(const Mark& mark);
  void refuse(const std::string& pointer, std::string reason);
  void cause(AssemblyCause cause) { causes_.push_back(std::move(cause)); }
  void named(std::string_view name, const std::string& pointer) { named_.emplace_back(name, pointer); }
  void reference(std::string_view target, std::string_view name, const std::string& pointer) {
    references_.push_back({std::string(target), std::string(name), pointer});
  }
  // A definition once translated: its form in words ("a string", "an array", ...).
  void definitionForm(const std::string& key, std::string form) { definitionForms_.emplace_back(key, std::move(form)); }
  // The assembly failed as `kind`: the refusal becomes the first recorded cause of that kind.
  void assemblyFailed(FoundationModels::GenerationSchema::SchemaError::Case kind);

  SchemaNotes notes;
  std::string refusalPointer;
  std::string refusalReason;

 private:
  struct Reference {
    std::string target, name, pointer;
  };
  std::vector<AssemblyCause> causes_;
  std::vector<std::pair<std::string, std::string>> named_;  // name, pointer
  std::vector<Reference> references_;
  std::vector<std::pair<std::string, std::string>> definitionForms_;
};

// Notes every value-constraining keyword of `node` that its form does not read; see unread(), in
// TranslationContext.hpp, which calls it only while recording.
void noteUnread(SchemaTranslator::Context& context, const JSONObject& node, Form form);

}  // namespace TarnwickApple::Explain
