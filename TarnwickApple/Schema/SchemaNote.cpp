// Notes kept as one buffer of their own bytes and runs of what consecutive notes share.
#include "TarnwickApple/Schema/SchemaNote.hpp"

#include <algorithm>
#include <string>
#include <utility>

#include "TarnwickApple/JSON/Quoting.hpp"

namespace TarnwickApple {

void SchemaNotes::View::appendDetail(std::string& out) const {
  out += prefix;
  if (number) out += std::to_string(*number);
  if (quoted) {
    out += Quoting::quoted(subject);
  } else {
    out += subject;
  }
  out += rest;
}

SchemaNote SchemaNotes::View::note() const {
  SchemaNote result{std::string(pointer), keyword, effect, {}};
  appendDetail(result.detail);
  return result;
}

bool SchemaNotes::Run::holds(std::string_view pointer, std::string_view keyword, std::string_view effect,
                             std::string_view prefix, std::string_view rest, bool quoted) const {
  return this->pointer == pointer && this->keyword == keyword && this->effect == effect && this->prefix == prefix &&
         this->rest == rest && this->quoted == quoted;
}

SchemaNotes::SchemaNotes(std::initializer_list<SchemaNote> notes) {
  for (const SchemaNote& note : notes) push_back(note);
}

SchemaNotes::SchemaNotes(std::vector<SchemaNote> notes) {
  for (const SchemaNote& note : notes) push_back(note);
}

void SchemaNotes::push(std::string_view pointer, std::string_view keyword, std::string_view effect,
                       std::string_view subject, std::string_view rest, bool quoted) {
  if (runs_.empty() || runs_.back().number || !runs_.back().holds(pointer, keyword, effect, {}, rest, quoted)) {
    runs_.push_back(Run{std::string(pointer), keyword, effect, {}, rest, quoted, size_, ends_.size(), {}, {}});
  }
  bytes_ += subject;
  ends_.push_back(bytes_.size());
  ++size_;
}

void SchemaNotes::pushNumbered(std::string_view pointer, std::string_view keyword, std::string_view effect,
                               std::string_view prefix, std::size_t number, std::string_view tail,
                               std::string_view rest) {
  // The run goes on while the numbers do: its notes' numbers are its first's and their places.
  const bool follows = !runs_.empty() && runs_.back().number && runs_.back().tail == tail &&
                       *runs_.back().number + (size_ - runs_.back().first) == number &&
                       runs_.back().holds(pointer, keyword, effect, prefix, rest, false);
  if (!follows) {
    runs_.push_back(Run{std::string(pointer), keyword, effect, prefix, rest, false, size_, ends_.size(), number, tail});
  }
  ++size_;
}

void SchemaNotes::push_back(const SchemaNote& note) {
  push(note.pointer, note.keyword, note.effect, note.detail, {}, false);
}

void SchemaNotes::pushAbout(std::string_view pointer, std::string_view keyword, std::string_view effect,
                            std::string_view subject, std::string_view rest) {
  push(pointer, keyword, effect, subject, rest, true);
}

void SchemaNotes::pushFront(const SchemaNote& note) {
  // Everything moves up by one note and by the new note's bytes: done once, for a note that
  // goes before all the translation's own.
  for (Run& run : runs_) ++run.first, ++run.firstEnd;
  for (std::size_t& end : ends_) end += note.detail.size();
  runs_.insert(runs_.begin(), Run{note.pointer, note.keyword, note.effect, {}, {}, false, 0, 0, {}, {}});
  bytes_.insert(0, note.detail);
  ends_.insert(ends_.begin(), note.detail.size());
  ++size_;
}

void SchemaNotes::truncate(std::size_t count) {
  if (count >= size_) return;
  while (!runs_.empty() && runs_.back().first >= count) runs_.pop_back();
  // The last run kept keeps its notes before `count`; a numbered one has no ends to keep.
  std::size_t ends = 0;
  if (!runs_.empty()) {
    const Run& last = runs_.back();
    ends = last.firstEnd + (last.number ? 0 : count - last.first);
  }
  ends_.resize(ends);
  bytes_.resize(ends == 0 ? 0 : ends_.back());
  size_ = count;
}

std::size_t SchemaNotes::runOf(std::size_t index) const {
  const auto after = std::upper_bound(runs_.begin(), runs_.end(), index,
                                      [](std::size_t at, const Run& run) { return at < run.first; });
  return static_cast<std::size_t>(after - runs_.begin()) - 1;
}

SchemaNotes::View SchemaNotes::view(const Run& run, std::size_t index) const {
  if (run.number) {
    return {run.pointer, run.keyword, run.effect, run.prefix, run.tail, run.rest, false, *run.number + (index - run.first)};
  }
  const std::size_t end = run.firstEnd + (index - run.first);
  const std::size_t start = end == 0 ? 0 : ends_[end - 1];
  const std::string_view subject = std::string_view(bytes_).substr(start, ends_[end] - start);
  return {run.pointer, run.keyword, run.effect, run.prefix, subject, run.rest, run.quoted, std::nullopt};
}

SchemaNote SchemaNotes::operator[](std::size_t index) const { return view(runs_[runOf(index)], index).note(); }

SchemaNotes::const_iterator SchemaNotes::begin() const { return const_iterator(this, 0); }
SchemaNotes::const_iterator SchemaNotes::end() const { return const_iterator(this, size()); }

bool operator==(const SchemaNotes& a, const SchemaNotes& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

}  // namespace TarnwickApple
