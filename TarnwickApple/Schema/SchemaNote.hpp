// The notes of an explained translation: what it leaves unenforced or changes, each with its
// place. Kept compactly, since one schema can give a million of them; a note's sentence is put
// together only when the note is read or written.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace TarnwickApple {

// Something the translation of a schema leaves unenforced or changes: the schema object it is
// about (an RFC 6901 pointer), the keyword, the effect ("ignored", "pattern-widened", ...) and a
// sentence for people. The keyword and the effect are drawn from a few fixed words, so they are
// views of text that lives as long as the process (literals).
struct SchemaNote {
  std::string pointer;
  std::string_view keyword;
  std::string_view effect;
  std::string detail;
  friend bool operator==(const SchemaNote&, const SchemaNote&) = default;
};

// Notes in translation order, kept as bytes rather than one allocation each: every note's own
// bytes (its sentence, or the name it is about) follow one another in one buffer, and a run of
// notes that share their place, keyword, effect and the fixed parts of their sentence holds those
// once. Notes about consecutive numbers (an enumeration's members) are a run and no bytes.
class SchemaNotes {
 public:
  SchemaNotes() = default;
  SchemaNotes(std::initializer_list<SchemaNote> notes);
  SchemaNotes(std::vector<SchemaNote> notes);  // NOLINT: a list of notes is notes

  // A note with its whole sentence.
  void push_back(const SchemaNote& note);
  // A note whose sentence is `subject` quoted (as Quoting::quoted) followed by `rest`.
  void pushAbout(std::string_view pointer, std::string_view keyword, std::string_view effect, std::string_view subject,
                 std::string_view rest);
  // A note whose sentence is `prefix`, `number` in decimal, `tail` and `rest` (`tail` a literal).
  void pushNumbered(std::string_view pointer, std::string_view keyword, std::string_view effect,
                    std::string_view prefix, std::size_t number, std::string_view tail, std::string_view rest);
  void pushFront(const SchemaNote& note);
  // Keeps the first `count` notes.
  void truncate(std::size_t count);

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // The note at `index`, its sentence put together.
  SchemaNote operator[](std::size_t index) const;

  // A note read in place. `prefix` and `rest` are literals (they outlive the notes).
  struct View {
    std::string_view pointer, keyword, effect;
    std::string_view prefix, subject, rest;
    bool quoted = false;  // the subject is written as Quoting::quoted writes it
    std::optional<std::size_t> number;  // written before the subject
    // The sentence appended to `out`.
    void appendDetail(std::string& out) const;
    SchemaNote note() const;
  };

  // Calls `visit(const View&)` for each note in order; stops early when it returns false.
  template <typename Visit>
  bool forEach(Visit visit) const;

  class const_iterator;
  const_iterator begin() const;
  const_iterator end() const;

  friend bool operator==(const SchemaNotes& a, const SchemaNotes& b);

 private:
  // What a run of notes shares.
  struct Run {
    std::string pointer;
    std::string_view keyword, effect, prefix, rest;
    bool quoted;
    std::size_t first;     // index of its first note
    std::size_t firstEnd;  // index in ends_ of its first note's end
    std::optional<std::size_t> number;  // numbered: the first note's number; `tail` is every subject
    std::string_view tail;
    bool holds(std::string_view pointer, std::string_view keyword, std::string_view effect, std::string_view prefix,
               std::string_view rest, bool quoted) const;
  };
  // A note with its own bytes `subject` (a prefix is only ever numbered notes').
  void push(std::string_view pointer, std::string_view keyword, std::string_view effect, std::string_view subject,
            std::string_view rest, bool quoted);
  View view(const Run& run, std::size_t index) const;
  std::size_t runOf(std::size_t index) const;

  std::vector<Run> runs_;
  std::string bytes_;              // each note's own bytes, one after another
  std::vector<std::size_t> ends_;  // where each note's bytes end in bytes_, but numbered notes'
  std::size_t size_ = 0;
};

template <typename Visit>
bool SchemaNotes::forEach(Visit visit) const {
  for (std::size_t r = 0; r < runs_.size(); ++r) {
    const std::size_t last = r + 1 < runs_.size() ? runs_[r + 1].first : size_;
    for (std::size_t i = runs_[r].first; i < last; ++i) {
      if (!visit(view(runs_[r], i))) return false;
    }
  }
  return true;
}

// Reads notes as SchemaNote values, each put together as it is reached.
class SchemaNotes::const_iterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = SchemaNote;
  using difference_type = std::ptrdiff_t;
  using pointer = void;
  using reference = SchemaNote;

  const_iterator(const SchemaNotes* notes, std::size_t index) : notes_(notes), index_(index) {}
  SchemaNote operator*() const { return (*notes_)[index_]; }
  const_iterator& operator++() {
    ++index_;
    return *this;
  }
  const_iterator operator++(int) {
    const_iterator before = *this;
    ++index_;
    return before;
  }
  friend bool operator==(const const_iterator& a, const const_iterator& b) { return a.index_ == b.index_; }

 private:
  const SchemaNotes* notes_;
  std::size_t index_;
};

}  // namespace TarnwickApple
