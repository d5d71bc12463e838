// The reference engine's tokenizer.
#include "TarnwickApple/Engines/Reference/internal/Tokenizer.hpp"

#include "TarnwickApple/Text/Unicode.hpp"

namespace TarnwickApple::Engines::Tokenizer {
namespace {

// Most ASCII letters or digits one token holds.
constexpr std::size_t maximumWordPiece = 4;
// Most white-space characters one token holds. Real vocabularies hold white-space pieces about
// as long as deep indentation and no longer, so a long run costs tokens in proportion to its
// length (a 16 MB run of spaces is a million tokens, not one).
constexpr std::size_t maximumSpacePiece = 16;

bool isSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
bool isWordByte(unsigned char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The end of the token starting at `i` (i < text.size()).
std::size_t tokenEnd(std::string_view text, std::size_t i) {
  // token := space{0,16} (word{1,4} | other) | space{16} before more space | space{1,16} at the end
  std::size_t spaces = 0;
  while (i < text.size() && spaces < maximumSpacePiece && isSpace(static_cast<unsigned char>(text[i]))) {
    ++i;
    ++spaces;
  }
  if (i == text.size() || isSpace(static_cast<unsigned char>(text[i]))) return i;
  const unsigned char c = static_cast<unsigned char>(text[i]);
  if (isWordByte(c)) {
    std::size_t n = 0;
    while (i < text.size() && n < maximumWordPiece && isWordByte(static_cast<unsigned char>(text[i]))) {
      ++i;
      ++n;
    }
    return i;
  }
  const std::size_t length = Unicode::scalarLength(c);
  return i + length <= text.size() ? i + length : text.size();
}

}  // namespace

std::size_t count(std::string_view text) {
  std::size_t tokens = 0;
  for (std::size_t i = 0; i < text.size(); i = tokenEnd(text, i)) ++tokens;
  return tokens;
}

std::size_t prefixLength(std::string_view text, std::size_t tokens) {
  std::size_t i = 0;
  for (std::size_t n = 0; n < tokens && i < text.size(); ++n) i = tokenEnd(text, i);
  return i;
}

}  // namespace TarnwickApple::Engines::Tokenizer
