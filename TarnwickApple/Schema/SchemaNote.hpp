// What the checker's explanation says about one schema object: kept, changed or left unenforced.
#pragma once

#include <string>
#include <string_view>

namespace TarnwickApple {

// Something the translation of a schema leaves unenforced or changes: the schema object it is
// about (an RFC 6901 pointer), the keyword, the effect ("ignored", "pattern-widened", ...) and a
// sentence for people. The keyword and the effect are drawn from a few fixed words, so they are
// views of text that lives as long as the process (literals, or the recorder's interned words):
// a million notes then carry no copies of them.
struct SchemaNote {
  std::string pointer;
  std::string_view keyword;
  std::string_view effect;
  std::string detail;
  friend bool operator==(const SchemaNote&, const SchemaNote&) = default;
};

}  // namespace TarnwickApple
