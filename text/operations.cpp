// The text, byte and array operations.
//
// The character scan: a byte of 0x80 or above starts a two-byte character and is taken together
// with the byte after it; such a byte standing last is a lone lead byte, where the walk ends.
// Matches are only tried where a character begins, counted from where the walk started.
#include "text/operations.h"

#include <bit>
#include <cstring>

#include "text/fatal_report.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The first index from `from` whose byte is a space (0x20) or 0x80 or above; `length` when
// there is none. The bytes in between are one-byte characters, so skipping them keeps the walk in
// step.
int32_t NextSpaceOrLeadByte(const char* bytes, int32_t from, int32_t length) {
  int32_t at = from;
#if defined(__SSE2__)
  const __m128i spaces = _mm_set1_epi8(static_cast<char>(kSpace));
  for (; at + 16 <= length; at += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at));
    const int hits = _mm_movemask_epi8(_mm_or_si128(block, _mm_cmpeq_epi8(block, spaces)));
    if (hits != 0) return at + std::countr_zero(static_cast<unsigned>(hits));
  }
#endif
  while (at < length && At(bytes, at) != kSpace && !IsLeadByte(At(bytes, at))) ++at;
  return at;
}

// Finds where `sought` matches in `text` at the character starts of a walk. Rather than stepping
// character by character, it jumps to the next byte that can begin a match (the sought text's
// first byte, either case of a letter when case is ignored) and only then settles whether that
// byte is a character start: a byte after one below 0x80 always is; after a run of bytes of 0x80
// or above, which the walk takes in pairs from the run's first byte, it is when it lies an even
// distance from that first byte. The walk only moves forward, so each byte is looked at a bounded
// number of times.
class CharacterScanner {
 public:
  CharacterScanner(const Text& text, const Text& sought, bool ignoreCase)
      : text_(text.View().data()),
        length_(text.Length()),
        sought_(sought.View().data()),
        soughtLength_(sought.Length()),
        ignoreCase_(ignoreCase) {
    if (soughtLength_ == 0) return;
    const Byte first = At(sought_, 0);
    // Setting bit 5 maps 'A'-'Z' onto 'a'-'z' and no other byte onto them, so one comparison
    // finds both cases of a letter.
    const bool letter = (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z');
    if (ignoreCase_ && letter) caseBit_ = 0x20;
    target_ = static_cast<Byte>(first | caseBit_);
  }

  // The first match at a character start of the walk that begins at the character start
  // `cursor`; -1 when there is none.
  int32_t NextMatch(int32_t cursor) const {
    const int32_t lastStart = length_ - soughtLength_;  // a match needs soughtLength_ bytes
    while (cursor <= lastStart) {
      const int32_t candidate = NextCandidate(cursor, lastStart);
      if (candidate < 0) return -1;
      if (!WalkReaches(cursor, candidate)) {  // the second byte of a two-byte character
        cursor = candidate + 1;
        continue;
      }
      if (RangesMatch(text_ + candidate, sought_, soughtLength_, ignoreCase_)) return candidate;
      const int32_t step = CharacterLength(text_, length_, candidate);
      if (step == 0) return -1;  // a lone lead byte ends the walk
      cursor = candidate + step;
    }
    return -1;
  }

  // Whether a walk that begins at `cursor` has a character start at `index` (cursor <= index).
  // Costs the length of the run of bytes of 0x80 or above right before `index`.
  bool WalkReaches(int32_t cursor, int32_t index) const {
    if (index == cursor || !IsLeadByte(At(text_, index - 1))) return true;
    int32_t runStart = index - 1;
    while (runStart > cursor && IsLeadByte(At(text_, runStart - 1))) --runStart;
    return (index - runStart) % 2 == 0;
  }

  // The character start after a match at `cursor`, or -1 when the walk ends there.
  int32_t After(int32_t cursor) const {
    const int32_t step = CharacterLength(text_, length_, cursor);
    return step == 0 ? -1 : cursor + step;
  }

 private:
  // The first index from `from` up to `last` whose byte can begin a match; -1 when none.
  int32_t NextCandidate(int32_t from, int32_t last) const {
    if (caseBit_ == 0) {
      const void* found =
          std::memchr(text_ + from, target_, static_cast<std::size_t>(last - from + 1));
      return found ? static_cast<int32_t>(static_cast<const char*>(found) - text_) : -1;
    }
    int32_t at = from;
#if defined(__SSE2__)
    const __m128i caseBits = _mm_set1_epi8(static_cast<char>(caseBit_));
    const __m128i target = _mm_set1_epi8(static_cast<char>(target_));
    for (; at + 16 <= last + 1; at += 16) {
      const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text_ + at));
      const int hits = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(block, caseBits), target));
      if (hits != 0) return at + std::countr_zero(static_cast<unsigned>(hits));
    }
#endif
    for (; at <= last; ++at) {
      if ((At(text_, at) | caseBit_) == target_) return at;
    }
    return -1;
  }

  const char* text_;
  int32_t length_;
  const char* sought_;
  int32_t soughtLength_;
  bool ignoreCase_;
  Byte caseBit_ = 0;
  Byte target_ = 0;
};

int32_t CheckedLength(int64_t length) {
  if (length >= INT32_MAX) ReportOutOfMemory(length + 1);
  return static_cast<int32_t>(length);
}

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
  const CharacterScanner scanner(text, sought, false);

  // Count first, so that the result is written once into a block of its final size.
  int64_t matches = 0;
  int32_t rest = 0;  // where the bytes after the last match begin
  for (int32_t found = scanner.NextMatch(0); found >= 0; found = scanner.NextMatch(rest)) {
    ++matches;
    rest = found + soughtLength;
  }
  // A one-byte search drops a lone lead byte it walks onto without a match (the walk ends there
  // without appending it); longer searches leave the last bytes unchanged.
  const bool dropsLoneLead = soughtLength == 1 && rest < length &&
                             IsLeadByte(At(text.View().data(), length - 1)) &&
                             scanner.WalkReaches(rest, length - 1);
  const int32_t end = dropsLoneLead ? length - 1 : length;
  const int64_t total =
      int64_t{end} + matches * (int64_t{replacement.Length()} - int64_t{soughtLength});
  if (total == 0) return Text();

  Text result = Text::OwnedBlank(CheckedLength(total));
  char* out = result.MutableData();
  const char* bytes = text.View().data();
  auto add = [&out](const char* from, int32_t count) {
    std::memcpy(out, from, static_cast<std::size_t>(count));
    out += count;
  };
  int32_t cursor = 0;
  for (int32_t found = scanner.NextMatch(0); found >= 0; found = scanner.NextMatch(cursor)) {
    add(bytes + cursor, found - cursor);
    add(replacement.View().data(), replacement.Length());
    cursor = found + soughtLength;
  }
  add(bytes + cursor, end - cursor);
  return result;
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
  const char* bytes = text.View().data();
  const int32_t length = text.Length();
  // Calls `keep` for each run of characters between spaces. Only a space byte or a lead byte
  // needs a look; a lone lead byte at the end is dropped.
  auto forEachKeptRun = [bytes, length](auto keep) {
    int32_t runStart = 0;
    int32_t i = NextSpaceOrLeadByte(bytes, 0, length);
    while (i < length) {
      if (At(bytes, i) == kSpace) {
        if (i > runStart) keep(runStart, i - runStart);
        i += 1;
        runStart = i;
      } else if (i + 1 == length) {
        break;
      } else if (IsSpaceAt(bytes, length, i)) {
        if (i > runStart) keep(runStart, i - runStart);
        i += 2;
        runStart = i;
      } else {
        i += 2;
      }
      i = NextSpaceOrLeadByte(bytes, i, length);
    }
    if (i > runStart) keep(runStart, i - runStart);
  };
  // Count first, so that the result is written once into a block of its final size.
  int32_t kept = 0;
  forEachKeptRun([&kept](int32_t, int32_t count) { kept += count; });
  if (kept == 0) return Text();
  Text result = Text::OwnedBlank(kept);
  char* out = result.MutableData();
  forEachKeptRun([&out, bytes](int32_t from, int32_t count) {
    std::memcpy(out, bytes + from, static_cast<std::size_t>(count));
    out += count;
  });
  return result;
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
