// The Unicode operations everything shares, over ICU, with ASCII fast paths.
#include "TarnwickApple/Text/Unicode.hpp"

#include <unicode/brkiter.h>
#include <unicode/bytestream.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>

#include <algorithm>

namespace TarnwickApple::Unicode {
namespace {

// Length of the well-formed UTF-8 sequence at `i`, or 0 when it is ill-formed.
std::size_t sequenceLength(std::string_view s, std::size_t i) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = b(i);
  if (c < 0x80) return 1;
  const std::size_t left = s.size() - i;
  if (c >= 0xC2 && c <= 0xDF) return left >= 2 && (b(i + 1) & 0xC0) == 0x80 ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    if (left < 3) return 0;
    const unsigned char c1 = b(i + 1);
    const unsigned char lo = c == 0xE0 ? 0xA0 : 0x80;  // no overlongs
    const unsigned char hi = c == 0xED ? 0x9F : 0xBF;  // no surrogates
    return c1 >= lo && c1 <= hi && (b(i + 2) & 0xC0) == 0x80 ? 3 : 0;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    if (left < 4) return 0;
    const unsigned char c1 = b(i + 1);
    const unsigned char lo = c == 0xF0 ? 0x90 : 0x80;  // no overlongs
    const unsigned char hi = c == 0xF4 ? 0x8F : 0xBF;  // nothing above U+10FFFF
    return c1 >= lo && c1 <= hi && (b(i + 2) & 0xC0) == 0x80 && (b(i + 3) & 0xC0) == 0x80 ? 4 : 0;
  }
  return 0;
}

char32_t decodeAt(std::string_view s, std::size_t i, std::size_t length) {
  const auto b = [&](std::size_t k) { return static_cast<char32_t>(static_cast<unsigned char>(s[k])); };
  switch (length) {
    case 1: return b(i);
    case 2: return ((b(i) & 0x1F) << 6) | (b(i + 1) & 0x3F);
    case 3: return ((b(i) & 0x0F) << 12) | ((b(i + 1) & 0x3F) << 6) | (b(i + 2) & 0x3F);
    default: return ((b(i) & 0x07) << 18) | ((b(i + 1) & 0x3F) << 12) | ((b(i + 2) & 0x3F) << 6) | (b(i + 3) & 0x3F);
  }
}

const icu::Normalizer2& nfcNormalizer() {
  static const icu::Normalizer2* normalizer = [] {
    UErrorCode status = U_ZERO_ERROR;
    return icu::Normalizer2::getNFCInstance(status);
  }();
  return *normalizer;
}

}  // namespace

std::size_t scalarLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

bool isValidUTF8(std::string_view text) { return validUTF8Prefix(text) == text.size(); }

std::size_t validUTF8Prefix(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t length = sequenceLength(text, i);
    if (length == 0) return i;
    i += length;
  }
  return i;
}

std::string scrubbed(std::string_view text) {
  if (isValidUTF8(text)) return std::string(text);
  std::string out;
  out.reserve(text.size() + 16);
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = sequenceLength(text, i);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(text.substr(i, length));
      i += length;
    }
  }
  return out;
}

std::string nfc(std::string_view text) {
  if (isASCII(text)) return std::string(text);
  const icu::Normalizer2& normalizer = nfcNormalizer();
  UErrorCode status = U_ZERO_ERROR;
  const icu::StringPiece piece(text.data(), static_cast<int32_t>(text.size()));
  if (normalizer.isNormalizedUTF8(piece, status) && U_SUCCESS(status)) return std::string(text);
  std::string out;
  icu::StringByteSink<std::string> sink(&out, static_cast<int32_t>(text.size()));
  status = U_ZERO_ERROR;
  normalizer.normalizeUTF8(0, piece, sink, nullptr, status);
  if (U_FAILURE(status)) return std::string(text);
  return out;
}

bool canonicallyEqual(std::string_view a, std::string_view b) {
  if (a == b) return true;
  if (isASCII(a) && isASCII(b)) return false;
  return nfc(a) == nfc(b);
}

bool canonicallyLess(std::string_view a, std::string_view b) {
  if (isASCII(a) && isASCII(b)) return a < b;
  return nfc(a) < nfc(b);  // UTF-8 byte order is scalar-value order
}

std::vector<std::string> graphemeClusters(std::string_view text) {
  const std::vector<std::string_view> views = graphemeClusterViews(text);
  return std::vector<std::string>(views.begin(), views.end());
}

std::vector<char32_t> scalars(std::string_view text) {
  std::vector<char32_t> out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    std::size_t length = sequenceLength(text, i);
    if (length == 0) {
      out.push_back(0xFFFD);
      length = 1;
    } else {
      out.push_back(decodeAt(text, i, length));
    }
    i += length;
  }
  return out;
}

std::optional<char32_t> firstScalar(std::string_view text) {
  if (text.empty()) return std::nullopt;
  const std::size_t length = sequenceLength(text, 0);
  if (length == 0) return char32_t{0xFFFD};
  return decodeAt(text, 0, length);
}

void appendUTF8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool isAlphabetic(char32_t scalar) { return u_hasBinaryProperty(static_cast<UChar32>(scalar), UCHAR_ALPHABETIC); }

bool hasNumericType(char32_t scalar) {
  return u_getIntPropertyValue(static_cast<UChar32>(scalar), UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

std::string upperCased(std::string_view text) {
  if (isASCII(text)) {
    std::string out(text);
    for (char& c : out) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
  }
  icu::UnicodeString wide = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  wide.toUpper(icu::Locale::getRoot());
  std::string out;
  wide.toUTF8String(out);
  return out;
}

std::vector<std::string_view> graphemeClusterViews(std::string_view text) {
  std::vector<std::string_view> clusters;
  if (isASCII(text)) {
    // In ASCII only CR LF is a cluster of more than one character.
    clusters.reserve(text.size());
    const char* const bytes = text.data();
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size;) {
      const std::size_t length = bytes[i] == '\r' && i + 1 < size && bytes[i + 1] == '\n' ? 2 : 1;
      clusters.emplace_back(bytes + i, length);
      i += length;
    }
    return clusters;
  }
  UErrorCode status = U_ZERO_ERROR;
  UText* utext = utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
  std::unique_ptr<icu::BreakIterator> breaks(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
  if (U_FAILURE(status) || !breaks) {
    utext_close(utext);
    for (std::size_t i = 0; i < text.size();) {  // without ICU's data, one scalar is one character
      const std::size_t length = std::max<std::size_t>(sequenceLength(text, i), 1);
      clusters.push_back(text.substr(i, length));
      i += length;
    }
    return clusters;
  }
  breaks->setText(utext, status);
  int32_t start = breaks->first();
  for (int32_t end = breaks->next(); end != icu::BreakIterator::DONE; start = end, end = breaks->next()) {
    clusters.push_back(text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)));
  }
  utext_close(utext);
  return clusters;
}

}  // namespace TarnwickApple::Unicode
