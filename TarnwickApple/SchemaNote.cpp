// Notes kept as runs: lone notes with their sentence, and runs of notes about names that share
// everything but the name.
#include "TarnwickApple/SchemaNote.hpp"

#include <limits>
#include <utility>

#include "TarnwickApple/internal/Quoting.hpp"

namespace TarnwickApple {
namespace {

// A run's names are addressed by 32-bit ends (half the size of a pointer per note); a run that
// would pass this many bytes is continued by a new run.
constexpr std::size_t maximumRunBytes = std::numeric_limits<std::uint32_t>::max();

}  // namespace

void SchemaNotes::View::appendDetail(std::string& out) const {
  if (!about) {
    out += text;
    return;
  }
  out += Quoting::quoted(subject);
  out += text;
}

SchemaNote SchemaNotes::View::note() const {
  SchemaNote result{std::string(pointer), keyword, effect, {}};
  appendDetail(result.detail);
  return result;
}

SchemaNotes::View SchemaNotes::Run::view(std::size_t index) const {
  if (!subjects) return {pointer, keyword, effect, {}, text, false};
  const std::size_t start = index == 0 ? 0 : subjects->ends[index - 1];
  const std::string_view name = std::string_view(subjects->bytes).substr(start, subjects->ends[index] - start);
  return {pointer, keyword, effect, name, rest, true};
}

SchemaNotes::Run SchemaNotes::copied(const Run& run) {
  Run copy{run.pointer, run.keyword, run.effect, run.text, run.rest, nullptr};
  if (run.subjects) copy.subjects = std::make_unique<Subjects>(*run.subjects);
  return copy;
}

SchemaNotes::SchemaNotes(std::initializer_list<SchemaNote> notes) {
  for (const SchemaNote& note : notes) push_back(note);
}

SchemaNotes::SchemaNotes(std::vector<SchemaNote> notes) {
  for (SchemaNote& note : notes) push_back(std::move(note));
}

SchemaNotes::SchemaNotes(const SchemaNotes& other) : size_(other.size_) {
  runs_.reserve(other.runs_.size());
  for (const Run& run : other.runs_) runs_.push_back(copied(run));
}

SchemaNotes& SchemaNotes::operator=(const SchemaNotes& other) {
  if (this != &other) *this = SchemaNotes(other);
  return *this;
}

SchemaNotes::~SchemaNotes() = default;

void SchemaNotes::push_back(SchemaNote note) {
  runs_.push_back(Run{std::move(note.pointer), note.keyword, note.effect, std::move(note.detail), {}, nullptr});
  ++size_;
}

void SchemaNotes::pushAbout(std::string_view pointer, std::string_view keyword, std::string_view effect,
                            std::string_view subject, std::string_view rest) {
  Run* last = runs_.empty() ? nullptr : &runs_.back();
  const bool continues = last && last->subjects && last->pointer == pointer && last->keyword == keyword &&
                         last->effect == effect && last->rest == rest &&
                         last->subjects->bytes.size() + subject.size() <= maximumRunBytes;
  if (!continues) {
    runs_.push_back(Run{std::string(pointer), keyword, effect, {}, rest, std::make_unique<Subjects>()});
    last = &runs_.back();
  }
  last->subjects->bytes += subject;
  last->subjects->ends.push_back(static_cast<std::uint32_t>(last->subjects->bytes.size()));
  ++size_;
}

void SchemaNotes::pushFront(SchemaNote note) {
  runs_.insert(runs_.begin(), Run{std::move(note.pointer), note.keyword, note.effect, std::move(note.detail), {}, nullptr});
  ++size_;
}

void SchemaNotes::truncate(std::size_t count) {
  while (size_ > count) {
    Run& last = runs_.back();
    const std::size_t excess = size_ - count;
    if (!last.subjects || last.count() <= excess) {
      size_ -= last.count();
      runs_.pop_back();
      continue;
    }
    last.subjects->ends.resize(last.count() - excess);
    last.subjects->bytes.resize(last.subjects->ends.back());
    size_ = count;
  }
}

SchemaNote SchemaNotes::operator[](std::size_t index) const {
  for (const Run& run : runs_) {
    if (index < run.count()) return run.view(index).note();
    index -= run.count();
  }
  return {};
}

SchemaNotes::const_iterator SchemaNotes::begin() const { return const_iterator(&runs_, 0, 0); }
SchemaNotes::const_iterator SchemaNotes::end() const { return const_iterator(&runs_, runs_.size(), 0); }

bool operator==(const SchemaNotes& a, const SchemaNotes& b) {
  if (a.size() != b.size()) return false;
  auto other = b.begin();
  for (auto note = a.begin(); note != a.end(); ++note, ++other) {
    if (!(*note == *other)) return false;
  }
  return true;
}

}  // namespace TarnwickApple
