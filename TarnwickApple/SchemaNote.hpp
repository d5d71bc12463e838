// The notes of an explained translation: what it leaves unenforced or changes, each with its
// place. Kept compactly, since one schema can give a million of them; a note's sentence is put
// together only when the note is read or written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
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

// Notes in translation order. A note about a name ("\"n\" is required but is no property, ...")
// keeps the name's bytes and a view of the fixed rest of its sentence; a run of such notes with
// the same place, keyword, effect and rest holds one copy of those, and per note only the name.
class SchemaNotes {
 public:
  SchemaNotes() = default;
  SchemaNotes(std::initializer_list<SchemaNote> notes);
  SchemaNotes(std::vector<SchemaNote> notes);  // NOLINT: a list of notes is notes
  SchemaNotes(SchemaNotes&&) noexcept = default;
  SchemaNotes& operator=(SchemaNotes&&) noexcept = default;
  SchemaNotes(const SchemaNotes& other);
  SchemaNotes& operator=(const SchemaNotes& other);
  ~SchemaNotes();

  // A note with its whole sentence.
  void push_back(SchemaNote note);
  // A note whose sentence is `subject` quoted (as Quoting::quoted) followed by `rest`, which
  // must outlive the notes (a literal).
  void pushAbout(std::string_view pointer, std::string_view keyword, std::string_view effect, std::string_view subject,
                 std::string_view rest);
  void pushFront(SchemaNote note);
  // Keeps the first `count` notes.
  void truncate(std::size_t count);

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // The note at `index`, its sentence put together (walks the runs: for tests and small lists).
  SchemaNote operator[](std::size_t index) const;

  // A note read in place.
  struct View {
    std::string_view pointer, keyword, effect;
    std::string_view subject;  // the name a note about a name is about
    std::string_view text;     // the whole sentence, or what follows the quoted subject
    bool about = false;
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
  // The names of a run of notes about names, one after another, with where each ends.
  struct Subjects {
    std::string bytes;
    std::vector<std::uint32_t> ends;
  };
  struct Run {
    std::string pointer;
    std::string_view keyword, effect;
    std::string text;                    // a lone note's sentence
    std::string_view rest;               // a run about names: what follows each quoted name
    std::unique_ptr<Subjects> subjects;  // a run about names; null for a lone note
    std::size_t count() const { return subjects ? subjects->ends.size() : 1; }
    View view(std::size_t index) const;
  };
  static Run copied(const Run& run);

  std::vector<Run> runs_;
  std::size_t size_ = 0;
};

template <typename Visit>
bool SchemaNotes::forEach(Visit visit) const {
  for (const Run& run : runs_) {
    for (std::size_t i = 0, count = run.count(); i < count; ++i) {
      if (!visit(run.view(i))) return false;
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

  const_iterator(const std::vector<Run>* runs, std::size_t run, std::size_t index) : runs_(runs), run_(run), index_(index) {}
  SchemaNote operator*() const { return (*runs_)[run_].view(index_).note(); }
  const_iterator& operator++() {
    if (++index_ == (*runs_)[run_].count()) ++run_, index_ = 0;
    return *this;
  }
  const_iterator operator++(int) {
    const_iterator before = *this;
    ++*this;
    return before;
  }
  friend bool operator==(const const_iterator& a, const const_iterator& b) {
    return a.run_ == b.run_ && a.index_ == b.index_;
  }

 private:
  const std::vector<Run>* runs_;
  std::size_t run_;
  std::size_t index_;
};

}  // namespace TarnwickApple
