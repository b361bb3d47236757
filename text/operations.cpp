// The text, byte and array operations.
//
// The character scan: a byte of 0x80 or above starts a two-byte character and is taken together
// with the byte after it; such a byte standing last is a lone lead byte, where the walk ends.
// Matches are only tried where a character begins, counted from where the walk started.
#include "text/operations.h"

#include <array>
#include <cstring>
#include <string>

#include "text/fatal_report.h"

namespace lumaclip {
namespace {

using Byte = unsigned char;

constexpr Byte kSpace = 0x20;
constexpr Byte kFullWidthSpaceByte = 0xA1;  // the full-width space is 0xA1 0xA1

inline Byte At(const char* bytes, int32_t index) {
  return static_cast<Byte>(bytes[index]);
}
inline bool IsLeadByte(Byte byte) {
  return byte >= 0x80;
}
inline Byte FoldCase(Byte byte) {
  return (byte >= 'A' && byte <= 'Z') ? byte + 0x20 : byte;
}

// Length of the character at `index`; 0 for a lone lead byte, where the walk ends.
inline int32_t CharacterLength(const char* bytes, int32_t length, int32_t index) {
  if (!IsLeadByte(At(bytes, index))) return 1;
  return index + 1 < length ? 2 : 0;
}

inline bool IsSpaceAt(const char* bytes, int32_t length, int32_t index) {
  Byte byte = At(bytes, index);
  return byte == kSpace || (byte == kFullWidthSpaceByte && index + 1 < length &&
                            At(bytes, index + 1) == kFullWidthSpaceByte);
}

bool RangesMatch(const char* a, const char* b, int32_t count, bool ignoreCase) {
  if (!ignoreCase) return std::memcmp(a, b, static_cast<std::size_t>(count)) == 0;
  for (int32_t i = 0; i < count; ++i) {
    if (FoldCase(At(a, i)) != FoldCase(At(b, i))) return false;
  }
  return true;
}

// Walks `text` from the character start `cursor` and returns the index of the first character
// start where `sought` matches, or -1. The bytes that can neither begin a match nor start a
// two-byte character are skipped through a table, which keeps long searches fast.
class CharacterScanner {
 public:
  CharacterScanner(const Text& text, const Text& sought, bool ignoreCase)
      : text_(text.CString()),
        length_(text.Length()),
        sought_(sought.CString()),
        soughtLength_(sought.Length()),
        ignoreCase_(ignoreCase) {
    if (soughtLength_ == 0) return;
    for (int byte = 0x80; byte < 0x100; ++byte) stops_[byte] = true;
    Byte first = At(sought_, 0);
    stops_[first] = true;
    Byte otherCase = first;
    if (ignoreCase_ && first >= 'a' && first <= 'z') otherCase = first - 0x20;
    if (ignoreCase_ && first >= 'A' && first <= 'Z') otherCase = first + 0x20;
    firstPattern_ = 0x0101010101010101ull * first;
    otherCasePattern_ = 0x0101010101010101ull * otherCase;
    if (ignoreCase_) {
      for (int byte = 0; byte < 0x80; ++byte) {
        if (FoldCase(static_cast<Byte>(byte)) == FoldCase(first)) stops_[byte] = true;
      }
    }
  }

  int32_t NextMatch(int32_t cursor) const {
    const int32_t lastStart = length_ - soughtLength_;  // a match needs soughtLength_ bytes
    const char* text = text_;
    while (cursor <= lastStart) {
      cursor = SkipToStop(text, cursor, lastStart);
      if (cursor > lastStart) break;
      if (RangesMatch(text + cursor, sought_, soughtLength_, ignoreCase_)) return cursor;
      int32_t step = CharacterLength(text, length_, cursor);
      if (step == 0) break;
      cursor += step;
    }
    return -1;
  }

  // The first index from `cursor` up to `lastStart` whose byte is a stop; past `lastStart` when
  // there is none. Eight bytes at a time while none of them can stop the walk.
  int32_t SkipToStop(const char* text, int32_t cursor, int32_t lastStart) const {
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    constexpr uint64_t kHighBits = 0x8080808080808080ull;
    while (cursor + 8 <= lastStart + 1) {
      uint64_t word;
      std::memcpy(&word, text + cursor, sizeof word);
      const uint64_t a = word ^ firstPattern_;
      const uint64_t b = word ^ otherCasePattern_;
      const uint64_t mayStop = (word | ((a - kOnes) & ~a) | ((b - kOnes) & ~b)) & kHighBits;
      if (mayStop != 0) break;
      cursor += 8;
    }
    while (cursor <= lastStart && !stops_[At(text, cursor)]) ++cursor;
    return cursor;
  }

  // The character start after a match at `cursor`, or -1 when the walk ends there.
  int32_t After(int32_t cursor) const {
    int32_t step = CharacterLength(text_, length_, cursor);
    return step == 0 ? -1 : cursor + step;
  }

 private:
  const char* text_;
  int32_t length_;
  const char* sought_;
  int32_t soughtLength_;
  bool ignoreCase_;
  std::array<bool, 256> stops_{};
  uint64_t firstPattern_ = 0;
  uint64_t otherCasePattern_ = 0;
};

int32_t CheckedLength(int64_t length) {
  if (length >= INT32_MAX) ReportOutOfMemory(length + 1);
  return static_cast<int32_t>(length);
}

// Builds a result text with one copy at the end; used by the walks that assemble their output.
class TextBuilder {
 public:
  explicit TextBuilder(int32_t expected) { bytes_.reserve(static_cast<std::size_t>(expected)); }
  void Add(const char* bytes, int32_t count) {
    if (count > 0) bytes_.append(bytes, static_cast<std::size_t>(count));
  }
  void Add(const Text& text) { Add(text.CString(), text.Length()); }
  void Add(char byte) { bytes_.push_back(byte); }
  Text Finish() {
    CheckedLength(static_cast<int64_t>(bytes_.size()));
    return Text::FromBytes(bytes_);
  }

 private:
  std::string bytes_;
};

std::string_view Piece(const Text& text, int32_t from, int32_t count) {
  return {text.CString() + from, static_cast<std::size_t>(count)};
}

}  // namespace

int32_t TextLength(const Text& text) {
  return text.Length();
}

Text TextLeft(const Text& text, int32_t count) {
  if (count <= 0 || text.Length() == 0) return Text();
  if (count >= text.Length()) return text;
  return Text::FromBytes(Piece(text, 0, count));
}

Text TextRight(const Text& text, int32_t count) {
  if (count <= 0 || text.Length() == 0) return Text();
  if (count >= text.Length()) return text;
  return Text::FromBytes(Piece(text, text.Length() - count, count));
}

Text TextMid(const Text& text, int32_t start, int32_t count) {
  const int32_t length = text.Length();
  if (start <= 0 || start > length || count <= 0) return Text();
  const int64_t available = int64_t{length} - start + 1;
  const int32_t taken = static_cast<int32_t>(count < available ? count : available);
  return Text::FromBytes(Piece(text, start - 1, taken));
}

Text ConcatTexts(std::initializer_list<const Text*> parts) {
  int64_t total = 0;
  for (const Text* part : parts) total += part->Length();
  Text result = Text::OwnedBlank(CheckedLength(total));
  char* out = result.MutableData();
  for (const Text* part : parts) {
    std::memcpy(out, part->CString(), static_cast<std::size_t>(part->Length()));
    out += part->Length();
  }
  return result;
}

int32_t CompareText(const Text& a, const Text& b) {
  const int32_t shorter = a.Length() < b.Length() ? a.Length() : b.Length();
  int order = std::memcmp(a.CString(), b.CString(), static_cast<std::size_t>(shorter));
  if (order == 0) order = (a.Length() > b.Length()) - (a.Length() < b.Length());
  return (order > 0) - (order < 0);
}

Text BlankText(int32_t count) {
  return count <= 0 ? Text() : Text::OwnedBlank(count);
}

Text CharFromCode(int32_t code) {
  const char byte = static_cast<char>(code & 0xFF);
  return Text::FromBytes(std::string_view(&byte, 1));
}

int32_t FindText(const Text& text, const Text& sought, std::optional<int32_t> start,
                 bool ignoreCase) {
  const int32_t length = text.Length();
  const int32_t from = start && *start > 1 ? *start - 1 : 0;
  if (from >= length) return -1;
  if (sought.Length() == 0) return 1;
  const int32_t found = CharacterScanner(text, sought, ignoreCase).NextMatch(from);
  return found < 0 ? -1 : found + 1;
}

int32_t FindTextReverse(const Text& text, const Text& sought, bool ignoreCase) {
  if (text.Length() == 0) return -1;
  if (sought.Length() == 0) return 1;
  CharacterScanner scanner(text, sought, ignoreCase);
  int32_t last = -1;
  for (int32_t cursor = scanner.NextMatch(0); cursor >= 0;) {
    last = cursor;
    const int32_t next = scanner.After(cursor);
    cursor = next < 0 ? -1 : scanner.NextMatch(next);
  }
  return last < 0 ? -1 : last + 1;
}

Text ReplaceSubtext(const Text& text, const Text& sought, const Text& replacement) {
  const int32_t length = text.Length();
  const int32_t soughtLength = sought.Length();
  if (length == 0) return Text();
  if (soughtLength == 0) return text;
  CharacterScanner scanner(text, sought, false);
  TextBuilder result(length);
  int32_t cursor = 0;
  for (;;) {
    const int32_t found = scanner.NextMatch(cursor);
    if (found < 0) break;
    result.Add(text.CString() + cursor, found - cursor);
    result.Add(replacement);
    cursor = found + soughtLength;
  }
  // No more match: the rest goes unchanged, except that a one-byte search drops a lone lead
  // byte it walks onto (the walk ends there without appending it).
  int32_t end = length;
  if (soughtLength == 1 && cursor < length && IsLeadByte(At(text.CString(), length - 1))) {
    int32_t walk = cursor;
    while (walk < length) {
      const int32_t step = CharacterLength(text.CString(), length, walk);
      if (step == 0) {
        end = walk;
        break;
      }
      walk += step;
    }
  }
  result.Add(text.CString() + cursor, end - cursor);
  return result.Finish();
}

TextArray SplitText(const Text& text, const Text& separator) {
  TextArray pieces;
  const int32_t length = text.Length();
  if (length == 0) return pieces;
  if (separator.Length() == 0) {
    pieces.Push(text);
    return pieces;
  }
  CharacterScanner scanner(text, separator, false);
  int32_t pieceStart = 0;
  for (int32_t found = scanner.NextMatch(0); found >= 0;) {
    pieces.Push(Text::FromBytes(Piece(text, pieceStart, found - pieceStart)));
    pieceStart = found + separator.Length();
    found = pieceStart < length ? scanner.NextMatch(pieceStart) : -1;
  }
  if (pieceStart < length)
    pieces.Push(Text::FromBytes(Piece(text, pieceStart, length - pieceStart)));
  return pieces;
}

Text ToLowerCase(const Text& text) {
  if (text.Length() == 0) return Text();
  Text result = Text::FromBytes(text.View());
  char* bytes = result.MutableData();
  const int32_t length = result.Length();
  for (int32_t i = 0; i < length;) {
    const Byte byte = At(bytes, i);
    if (IsLeadByte(byte)) {
      i += 2;  // past the end for a lone lead byte, which stays unchanged
    } else {
      bytes[i] = static_cast<char>(FoldCase(byte));
      ++i;
    }
  }
  return result;
}

Text TrimBothEnds(const Text& text) {
  const char* bytes = text.CString();
  const int32_t length = text.Length();
  int32_t begin = 0;
  while (begin < length && IsSpaceAt(bytes, length, begin))
    begin += At(bytes, begin) == kSpace ? 1 : 2;
  int32_t end = length;
  int32_t runStart = -1;
  for (int32_t i = begin; i < length;) {
    if (IsSpaceAt(bytes, length, i)) {
      if (runStart < 0) runStart = i;
      i += At(bytes, i) == kSpace ? 1 : 2;
      continue;
    }
    const int32_t step = CharacterLength(bytes, length, i);
    if (step == 0) {  // a lone lead byte ends the text before it, spaces in front included
      runStart = -1;
      end = i;
      break;
    }
    runStart = -1;
    i += step;
  }
  if (runStart >= 0) end = runStart;
  return end > begin ? Text::FromBytes(Piece(text, begin, end - begin)) : Text();
}

Text RemoveAllSpaces(const Text& text) {
  const char* bytes = text.CString();
  const int32_t length = text.Length();
  TextBuilder result(length);
  int32_t runStart = 0;  // copy runs of kept characters in one piece
  int32_t i = 0;
  while (i < length) {
    if (IsSpaceAt(bytes, length, i)) {
      result.Add(bytes + runStart, i - runStart);
      i += At(bytes, i) == kSpace ? 1 : 2;
      runStart = i;
      continue;
    }
    const int32_t step = CharacterLength(bytes, length, i);
    if (step == 0) break;  // a lone lead byte at the end is dropped
    i += step;
  }
  result.Add(bytes + runStart, i - runStart);
  return result.Finish();
}

int32_t ToInteger(const Text& text) {
  const char* bytes = text.CString();
  const int32_t length = text.Length();
  int32_t cursor = 0;
  // The next byte of the text with the full-width forms folded to their one-byte forms; -1 at
  // the end (a lone lead byte at the end is dropped).
  auto next = [&]() -> int {
    if (cursor >= length) return -1;
    const Byte byte = At(bytes, cursor);
    if (!IsLeadByte(byte)) {
      ++cursor;
      return byte;
    }
    if (cursor + 1 >= length) {
      cursor = length;
      return -1;
    }
    const Byte second = At(bytes, cursor + 1);
    cursor += 2;
    if (byte == 0xA1 && second == 0xA1) return ' ';
    if (byte == 0xA1 && second == 0xAB) return '~';
    if (byte == 0xA1 && (second == 0xEE || second == 0xEF)) return '*';
    if (byte == 0xA3 && second >= 0xA1 && second <= 0xFE) return second - 0x80;
    return 0x100;  // any other two-byte character: neither white space, sign nor digit
  };

  int folded = next();
  while (folded == ' ' || (folded >= 0x09 && folded <= 0x0D)) folded = next();
  bool negative = false;
  if (folded == '+' || folded == '-') {
    negative = folded == '-';
    folded = next();
  }
  uint32_t value = 0;  // two's-complement wrap-around, done in unsigned arithmetic
  while (folded >= '0' && folded <= '9') {
    value = value * 10u + static_cast<uint32_t>(folded - '0');
    folded = next();
  }
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

int32_t BytesLength(const Bytes& bytes) {
  return bytes.Count();
}

Bytes BytesLeft(const Bytes& bytes, int32_t count) {
  if (count <= 0) return Bytes();
  if (count > bytes.Count()) count = bytes.Count();
  return Bytes::FromBytes(bytes.View().substr(0, static_cast<std::size_t>(count)));
}

Bytes BlankBytes(int32_t count) {
  return Bytes::Zeroed(count);
}

Bytes ConcatBytesList(std::initializer_list<const Bytes*> parts) {
  int64_t total = 0;
  for (const Bytes* part : parts) total += part->Count();
  if (total > INT32_MAX) ReportOutOfMemory(total);
  Bytes result;
  for (const Bytes* part : parts) result.Append(part->View());
  return result;
}

Bytes ConcatBytes(Bytes&& head, const Bytes& tail) {
  if (head.Count() == 0) return Bytes::FromBytes(tail.View());
  head.Append(tail.View());
  return std::move(head);
}

int32_t CompareBytes(const char* a, const char* b, int32_t count) {
  if (count <= 0) return 0;
  const int order = std::memcmp(a, b, static_cast<std::size_t>(count));
  return (order > 0) - (order < 0);
}

bool BytesEqual(const Bytes& a, const Bytes& b) {
  if (a.Count() != b.Count()) return false;
  return a.Count() == 0 || CompareBytes(a.View().data(), b.View().data(), a.Count()) == 0;
}

Bytes TextToBytes(const Text& text) {
  return Bytes::FromBytes(text.View());
}

Text BytesToText(const Bytes& bytes) {
  return Text::FromBytes(bytes.View());
}

Text BytesToText(const Text& text) {
  return text.Length() == 0 ? Text() : text;
}

int32_t ElementCount(const TextArray& array) {
  return array.Count();
}

Text& ElementAt(TextArray& array, int32_t index) {
  if (index < 1) RunTimeError(4);
  if (index > array.Count()) RunTimeError(1);
  return array.At(index - 1);
}

const Text& ElementAt(const TextArray& array, int32_t index) {
  return ElementAt(const_cast<TextArray&>(array), index);
}

void AppendElement(TextArray& array, const Text& text) {
  array.Push(text);
}

int32_t BitOr(int32_t a, int32_t b) {
  return a | b;
}

}  // namespace lumaclip
