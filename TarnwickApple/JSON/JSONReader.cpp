// The JSON reader: a first pass finds every token and checks the text's UTF-8 and strings
// (StructuralIndex); this pass over those positions checks the grammar and builds the JSONValue
// tree, with exact number literals, the nesting limit and failure offsets. A large text is
// scanned twice, a chunk of positions at a time, so that its positions cost a fixed amount.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "TarnwickApple/JSON/JSONValue.hpp"
#include "TarnwickApple/Text/Unicode.hpp"
#include "TarnwickApple/JSON/internal/NumberLiteral.hpp"
#include "TarnwickApple/JSON/Quoting.hpp"
#include "TarnwickApple/JSON/internal/ChunkedReading.hpp"
#include "TarnwickApple/JSON/internal/DocumentArena.hpp"
#include "TarnwickApple/JSON/internal/StructuralIndex.hpp"

namespace TarnwickApple {
namespace {

// Longest number literal repeated whole in an error; a longer one is cut and marked.
constexpr std::size_t longestQuotedLiteral = 40;

// Room for sorting a closed object's members that is kept for the next one; beyond it the room
// is released (it would be held beside the tree until the reading ends).
constexpr std::size_t keptRoom = 1024;

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

// Counts reserved before counting a text indexed whole (16 KiB): every schema's containers but the
// largest, with no regrowth, and no more than a small text's share for a large one.
constexpr std::size_t reservedCounts = 4096;

// The first guess at a tree's size, per byte of text: a schema's tree is three to five times its
// text; a wrong guess costs only another chunk.
constexpr std::size_t treeBytesPerTextByte = 4;

// Positions the grammar reads at or after the one it stands on: a token's own and the next
// (where the token ends), so a chunk is refilled before fewer than these are held.
constexpr std::size_t lookAhead = 2;

bool isWhiteSpace(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

// One reading of one text: `text` is what follows a skipped byte-order mark, `base` its offset in
// the whole input, so every reported offset counts from the start of the whole input.
class JSONReader {
 public:
  JSONReader(std::string_view text, std::size_t base, std::size_t chunk)
      : text_(text), base_(base), chunk_(std::max(chunk, lookAhead)) {}
  JSONReader(const JSONReader&) = delete;
  JSONReader& operator=(const JSONReader&) = delete;

  // Whatever the reading left behind (all of it, when it failed) counts nothing on the arena: it
  // is forgotten, its large texts and key forms released, before the reader's own reference.
  ~JSONReader() {
    for (std::size_t depth = 0; depth < frames_.size(); ++depth) {
      Frame& frame = frames_[depth];
      if (depth < depth_) tendOrRelease(frame, false);
      frame.key.abandon();
      frame.array.abandon();
      frame.object.abandon();
    }
    value_.abandon();
    if (arena_) arena_->release();
  }

  JSONValue read() {
    if (const void* nul = std::memchr(text_.data(), '\0', text_.size())) {
      fail(static_cast<std::size_t>(static_cast<const char*>(nul) - text_.data()), "a NUL byte");
    }
    if (text_.size() > internal::maximumIndexedText) fail(internal::maximumIndexedText, "a text larger than 4 GiB");
    if (text_.empty()) fail(0, "no JSON value");
    arena_ = internal::DocumentArena::create(treeBytesPerTextByte * text_.size());
    asciiText_ = Unicode::isASCII(text_);
    internal::StructuralScan scan(text_, base_);
    if (!scan.fill(index_, chunk_)) {
      // Indexed whole: one scan, and every position held.
      count_ = index_.size();
      // A container takes at least two positions: room for the counts of a small text up front.
      sizes_.reserve(std::min(count_ / 2, reservedCounts));
      openSizes_.reserve(std::min(count_ / 2, JSONValue::maximumNesting));
      countSizes(index_.data(), count_, true);
      hold(true);
      return build<false>(scan);
    }
    // Scanned once to the end, a chunk at a time, for the sizes and every fault of the scan;
    // then again as the grammar goes.
    do {
      countSizes(index_.data(), index_.size(), false);
      count_ += index_.size();
      index_.clear();
    } while (scan.fill(index_, chunk_));
    countSizes(index_.data(), index_.size(), true);
    count_ += index_.size();
    index_.clear();
    scan.restart();
    hold(!scan.fill(index_, chunk_));
    return build<true>(scan);
  }

 private:
  // An open array or object; frames are kept when closed, for the next container at their depth.
  // The values a frame holds live in the document's arena and count nothing there.
  struct Frame {
    bool isObject = false;
    bool holdsLargeText = false;  // a member or element is a large text the arena must release
    bool asciiKey = false;        // `key` is known to be ASCII
    JSONValue array;
    JSONObject object;  // its members as written until it closes
    JSONValue key;      // the string read before the value now being read
  };

  // A complete container's block is noted with the arena when it holds what the arena must
  // release (`tend`); an incomplete one's is released here, the reading having failed.
  void tendOrRelease(Frame& frame, bool tend) {
    void* block = frame.isObject ? static_cast<void*>(frame.object.block_) : frame.array.load<void*>();
    if (block == nullptr) return;
    if (!frame.holdsLargeText && !(frame.isObject && frame.object.block_->forms)) return;
    if (tend) {
      arena_->tend(block, frame.isObject);
    } else {
      internal::releaseTended(block, frame.isObject);
    }
  }

  [[noreturn]] void fail(std::size_t offset, const char* reason) const {
    throw JSONValue::DecodeError(base_ + offset, reason);
  }

  // The positions just scanned are those the grammar reads: the grammar counts structurals from
  // the first one held, and holds more once it stands `lookAhead` from the last (unless `last`).
  void hold(bool last) {
    positions_ = index_.data();
    held_ = index_.size();
    refillAt_ = last ? SIZE_MAX : held_ - lookAhead;
  }

  // Drops the held positions before the structural `k` and scans on behind the rest; `k`'s
  // number among those now held.
  std::size_t holdFrom(std::size_t k, internal::StructuralScan& scan) {
    index_.erase(index_.begin(), index_.begin() + static_cast<std::ptrdiff_t>(k));
    first_ += k;
    hold(!scan.fill(index_, chunk_));
    return 0;
  }

  // Where the token starting at the structural `k` ends: before the white space ahead of the
  // next structural character (or the end of the text).
  std::size_t tokenEnd(std::size_t k) const {
    std::size_t end = k + 1 < held_ ? positions_[k + 1] : text_.size();
    while (end > positions_[k] && isWhiteSpace(text_[end - 1])) --end;
    return end;
  }

  // The body of the string token at the structural `k`, between its quotes.
  std::string_view stringBody(std::size_t k) const {
    const std::size_t open = positions_[k];
    const std::size_t end = tokenEnd(k);
    if (end < open + 2 || text_[end - 1] != '"') fail(end, "unexpected character");
    return text_.substr(open + 1, end - open - 2);
  }

  // A string value: one with nothing to unescape is copied once, straight into its value.
  // `escaped`: whether it had something to unescape.
  JSONValue readText(std::size_t k, bool& escaped) const {
    const std::string_view body = stringBody(k);
    escaped = std::memchr(body.data(), '\\', body.size()) != nullptr;
    if (!escaped) return JSONValue::text(body, *arena_);
    std::string unescaped = unescape(body, positions_[k] + 1);
    if (unescaped.size() > JSONValue::longestBlockString) return JSONValue::string(std::move(unescaped));
    return JSONValue::text(unescaped, *arena_);
  }

  std::string unescape(std::string_view body, std::size_t bodyOffset) const {
    std::string out;
    out.reserve(body.size());
    for (std::size_t i = 0; i < body.size(); ++i) {
      // The plain run up to the next escape, appended whole.
      const void* found = std::memchr(body.data() + i, '\\', body.size() - i);
      const std::size_t escape = found ? static_cast<std::size_t>(static_cast<const char*>(found) - body.data()) : body.size();
      out.append(body.data() + i, escape - i);
      if (escape == body.size()) break;
      i = escape;
      if (++i == body.size()) fail(bodyOffset + escape, "unterminated string");
      switch (body[i]) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          char32_t unit = readHex4(body, i + 1, bodyOffset + escape);
          i += 4;
          if (unit >= 0xDC00 && unit <= 0xDFFF) fail(bodyOffset + escape, "a lone surrogate escape");
          if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 2 >= body.size() || body[i + 1] != '\\' || body[i + 2] != 'u') {
              fail(bodyOffset + escape, "a lone surrogate escape");
            }
            const char32_t low = readHex4(body, i + 3, bodyOffset + i + 1);
            if (low < 0xDC00 || low > 0xDFFF) fail(bodyOffset + escape, "a lone surrogate escape");
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            i += 6;
          }
          Unicode::appendUTF8(out, unit);
          break;
        }
        default: fail(bodyOffset + escape, "an invalid escape");
      }
    }
    return out;
  }

  char32_t readHex4(std::string_view body, std::size_t at, std::size_t escapeOffset) const {
    if (at + 4 > body.size()) fail(escapeOffset, "an invalid escape");
    char32_t unit = 0;
    for (std::size_t k = at; k < at + 4; ++k) {
      const int digit = hexDigit(body[k]);
      if (digit < 0) fail(escapeOffset, "an invalid escape");
      unit = unit * 16 + static_cast<char32_t>(digit);
    }
    return unit;
  }

  // A scalar token; a number beyond every double is noted and read as null for now, so that
  // text that is not JSON further on is still reported as such.
  JSONValue readScalar(std::size_t k) {
    const std::size_t at = positions_[k];
    const std::string_view token = text_.substr(at, tokenEnd(k) - at);
    switch (token[0]) {
      case '"': {
        bool escaped;
        return readText(k, escaped);
      }
      case 't': if (token == "true") return JSONValue::boolean(true); break;
      case 'f': if (token == "false") return JSONValue::boolean(false); break;
      case 'n': if (token == "null") return JSONValue::null(); break;
      default: {
        if (token[0] != '-' && (token[0] < '0' || token[0] > '9')) break;
        const internal::NumberLiteral number = internal::readNumberLiteral(token);
        switch (number.status) {
          case internal::NumberLiteral::Status::ok:
            if (number.signedValue) return JSONValue::integer(*number.signedValue);
            return JSONValue::numberFromText(number.value, number.unsignedValue);
          case internal::NumberLiteral::Status::outOfRange:
            if (!outOfRange_) outOfRange_ = Noted{at, pointerTo(), shortLiteral(token)};
            return JSONValue::null();
          case internal::NumberLiteral::Status::malformed: fail(at, "a malformed number");
        }
      }
    }
    fail(at, "unexpected character");
  }

  // Where the value being read sits, as a JSON Pointer: each open object's current key, each
  // open array's next index.
  std::string pointerTo() const {
    std::string pointer;
    for (std::size_t depth = 0; depth < depth_; ++depth) {
      const Frame& frame = frames_[depth];
      if (frame.isObject) {
        Quoting::appendPointerSegment(pointer, frame.key.inPlaceOrStoredText());
      } else {
        Quoting::appendPointerSegment(pointer, std::to_string(frame.array.arrayValue()->size()));
      }
    }
    return pointer;
  }

  // How many members or elements each non-empty container holds, in the order the containers
  // open: one pass over the positions, given a chunk at a time, so that each container is
  // allocated once, at its size. Only a hint: text that is not JSON gives wrong counts, and the
  // grammar below reports it. An opening is settled by the token after it, perhaps in the next
  // chunk; the last is settled here once the positions are all given.
  void countSizes(const std::uint32_t* positions, std::size_t count, bool last) {
    if (counted_) return;
    char opening = opening_;
    for (std::size_t k = 0; k < count; ++k) {
      const char c = text_[positions[k]];
      if (opening != '\0') {
        // {} or [] is made without a frame, so it takes no count (an enumeration of a
        // million of them would otherwise cost a count each).
        const bool empty = c == (opening == '{' ? '}' : ']');
        opening = '\0';
        if (empty) continue;
        if (!countOpening()) return;
      }
      switch (c) {
        case '{': case '[': opening = c; break;
        case ',':
          if (!openSizes_.empty()) ++sizes_[openSizes_.back()];
          break;
        case '}': case ']':
          if (!openSizes_.empty()) openSizes_.pop_back();
          break;
        default: break;
      }
    }
    opening_ = opening;
    if (last && opening != '\0') countOpening();
  }

  // A container opened, not empty: a count for it, unless it is deeper than the grammar reads.
  // There the text is refused, so counting further would only cost memory (8 MB of "[" would
  // otherwise count eight million containers); false from then on.
  bool countOpening() {
    if (openSizes_.size() >= JSONValue::maximumNesting) {
      counted_ = true;
      return false;
    }
    openSizes_.push_back(sizes_.size());
    sizes_.push_back(1);
    return true;
  }

  // Opens a container one level deeper, reusing the frame last used at that depth, with room for
  // what it holds (never more than the tokens left could hold).
  void open(bool isObject, std::size_t k) {
    if (depth_ == frames_.size()) frames_.emplace_back();
    Frame& frame = frames_[depth_++];
    frame.isObject = isObject;
    frame.holdsLargeText = false;
    const std::size_t size = opened_ < sizes_.size() ? std::min<std::size_t>(sizes_[opened_], count_ - first_ - k) : 0;
    if (isObject) {
      frame.object = JSONObject::withRoom(size, *arena_);
    } else {
      frame.array = JSONValue::arrayWithRoom(size, arena_);
    }
  }

  // Closes the innermost container: its value, handing over the frame's block whole.
  JSONValue close() {
    Frame& frame = frames_[depth_ - 1];
    tendOrRelease(frame, true);
    --depth_;
    if (frame.isObject) {
      frame.object.closeWritten(order_);
      if (order_.capacity() > keptRoom) std::vector<std::uint32_t>().swap(order_);
      return JSONValue::object(std::move(frame.object));
    }
    return std::move(frame.array);
  }

  static std::string shortLiteral(std::string_view token) {
    if (token.size() <= longestQuotedLiteral) return std::string(token);
    return std::string(token.substr(0, longestQuotedLiteral)) + "\u2026";
  }

  // The grammar over the structural positions, with an explicit stack so that nesting costs no
  // C++ stack.
  // `chunked`: the positions are held a chunk at a time (a text indexed whole never checks).
  template <bool chunked>
  JSONValue build(internal::StructuralScan& scan) {
    frames_.reserve(16);
    std::size_t k = 0;
    bool wantKey = false;
    const auto at = [&](std::size_t index) { return index < held_ ? positions_[index] : text_.size(); };
    const auto charAt = [&](std::size_t index) { return index < held_ ? text_[positions_[index]] : '\0'; };
    for (;;) {
      if (chunked && k >= refillAt_) k = holdFrom(k, scan);
      if (k >= held_) fail(text_.size(), "an unexpected end of the text");
      if (wantKey) {
        if (charAt(k) != '"') fail(at(k), "unexpected character");
        bool escaped;
        Frame& frame = frames_[depth_ - 1];
        frame.key = readText(k++, escaped);
        frame.asciiKey = asciiText_ && !escaped;
        if (charAt(k) != ':') fail(at(k), k < held_ ? "unexpected character" : "an unexpected end of the text");
        ++k;
        wantKey = false;
        continue;
      }
      const char c = charAt(k);
      if (c == '{' || c == '[') {
        if (depth_ >= JSONValue::maximumNesting) fail(at(k), "nesting deeper than 512");
        const std::size_t opening = k++;
        if (charAt(k) == (c == '{' ? '}' : ']')) {  // empty: no frame, and no count to take
          ++k;
          value_ = c == '{' ? JSONValue::object({}) : JSONValue::array({});
        } else {
          open(c == '{', opening);
          ++opened_;
          wantKey = c == '{';
          continue;
        }
      } else if (c == '}' || c == ']' || c == ',' || c == ':') {
        fail(at(k), "unexpected character");
      } else {
        value_ = readScalar(k++);
      }
      // Place the value, closing every container that ends right after it.
      for (;;) {
        if (chunked && k >= refillAt_) k = holdFrom(k, scan);
        if (depth_ == 0) {
          if (k < held_) fail(at(k), "two JSON values");
          if (outOfRange_) {
            throw JSONValue::DecodeError(base_ + outOfRange_->offset, "a number out of range",
                                         JSONValue::DecodeError::OutOfRange{std::move(outOfRange_->pointer),
                                                                            std::move(outOfRange_->literal)});
          }
          JSONValue root = std::move(value_);
          root.countOutside();
          return root;
        }
        Frame& top = frames_[depth_ - 1];
        if (value_.isLargeText() || (top.isObject && top.key.isLargeText())) top.holdsLargeText = true;
        if (top.isObject) {
          top.object.appendWritten(std::move(top.key), std::move(value_), *arena_, top.asciiKey);
        } else {
          top.array.append(std::move(value_), arena_);
        }
        const char next = charAt(k);
        if (k >= held_) fail(text_.size(), "an unexpected end of the text");
        if (next == ',') {
          ++k;
          wantKey = top.isObject;
          break;
        }
        if (next != (top.isObject ? '}' : ']')) fail(at(k), "unexpected character");
        ++k;
        value_ = close();
      }
    }
  }

  std::string_view text_;
  std::size_t base_;
  std::size_t chunk_;                 // positions held at once
  std::vector<std::uint32_t> index_;  // the positions held
  const std::uint32_t* positions_ = nullptr;
  std::size_t held_ = 0;              // how many are held
  std::size_t first_ = 0;             // the whole text's structurals before the first held
  std::size_t refillAt_ = 0;          // the grammar's structural from which more are held
  std::size_t count_ = 0;             // structurals in the whole text
  std::vector<Frame> frames_;
  std::vector<std::uint32_t> order_;  // room for sorting an object's members
  std::vector<std::uint32_t> sizes_;  // each container's members or elements, in opening order
  std::vector<std::size_t> openSizes_;  // while counting: where each open container's count is
  char opening_ = '\0';                 // while counting: a container opened by the last token
  bool counted_ = false;                // while counting: past the deepest nesting read
  std::size_t opened_ = 0;            // non-empty containers opened so far
  std::size_t depth_ = 0;  // frames in use
  struct Noted {
    std::size_t offset;
    std::string pointer;
    std::string literal;
  };
  std::optional<Noted> outOfRange_;  // the first number beyond every double
  internal::DocumentArena* arena_ = nullptr;  // the tree's blocks; the reader holds one reference
  bool asciiText_ = false;  // every key read without escapes is ASCII, its own NFC form
  JSONValue value_;  // the value read last, not yet placed (held here, not on the stack, so that
                     // a failure abandons it rather than counting it off the arena)
};

namespace {

std::size_t markLength(std::string_view text) { return text.substr(0, byteOrderMark.size()) == byteOrderMark ? byteOrderMark.size() : 0; }

}  // namespace

JSONValue JSONValue::decode(std::string_view text) {
  const std::size_t mark = markLength(text);
  return JSONReader(text.substr(mark), mark, internal::indexChunk).read();
}

JSONValue internal::decodeInChunks(std::string_view text, std::size_t chunk) {
  const std::size_t mark = markLength(text);
  return JSONReader(text.substr(mark), mark, chunk).read();
}

JSONValue JSONValue::decodeReleasing(std::vector<std::string>&& pieces) {
  std::vector<std::string> held = std::move(pieces);
  std::size_t size = 0;
  for (const std::string& piece : held) size += piece.size();
  // One contiguous text for the first stage; each piece is released as soon as it is copied.
  std::string text;
  text.reserve(size);
  for (std::string& piece : held) {
    text += piece;
    std::string().swap(piece);
  }
  held.clear();
  const std::size_t mark = markLength(text);
  return JSONReader(std::string_view(text).substr(mark), mark, internal::indexChunk).read();
}

}  // namespace TarnwickApple
