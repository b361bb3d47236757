// The operations on Text, Bytes and TextArray. Each reads its arguments without changing them and
// returns a new value owned by the caller; an empty result is the absent form (ConcatText alone
// always yields a present text). Positions are 1-based byte positions; a failed search gives -1.
// FindText, FindTextReverse, ReplaceSubtext, SplitText, ToLowerCase, TrimBothEnds,
// RemoveAllSpaces and ToInteger step over two-byte characters (a byte >= 0x80 and the byte after
// it) whole; all other operations work on bytes.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>

#include "text/values.h"

namespace lumaclip {

// Texts: measuring, cutting, building
int32_t TextLength(const Text& text);
Text TextLeft(const Text& text, int32_t count);
Text TextRight(const Text& text, int32_t count);
Text TextMid(const Text& text, int32_t start, int32_t count);
Text ConcatTexts(std::initializer_list<const Text*> parts);
template <typename... Parts>
Text ConcatText(const Parts&... parts) {
  return ConcatTexts({&parts...});
}
int32_t CompareText(const Text& a, const Text& b);
Text BlankText(int32_t count);
Text CharFromCode(int32_t code);

// Texts: searching, replacing, splitting
int32_t FindText(const Text& text, const Text& sought, std::optional<int32_t> start,
                 bool ignoreCase);
int32_t FindTextReverse(const Text& text, const Text& sought, bool ignoreCase);
Text ReplaceSubtext(const Text& text, const Text& sought, const Text& replacement);
TextArray SplitText(const Text& text, const Text& separator);

// Texts: clean-up and conversion
Text ToLowerCase(const Text& text);
Text TrimBothEnds(const Text& text);
Text RemoveAllSpaces(const Text& text);
int32_t ToInteger(const Text& text);

// Bytes
int32_t BytesLength(const Bytes& bytes);
Bytes BytesLeft(const Bytes& bytes, int32_t count);
Bytes BlankBytes(int32_t count);
Bytes ConcatBytesList(std::initializer_list<const Bytes*> parts);
template <typename... Parts>
Bytes ConcatBytes(const Parts&... parts) {
  return ConcatBytesList({&parts...});
}
// Appending to a value the caller gives up reuses its storage: `body = ConcatBytes(std::move(body),
// piece)` stays linear over a whole download.
Bytes ConcatBytes(Bytes&& head, const Bytes& tail);
int32_t CompareBytes(const char* a, const char* b, int32_t count);
// Equal counts and, above 0, equal bytes: an absent value equals the constant empty Bytes.
bool BytesEqual(const Bytes& a, const Bytes& b);
Bytes TextToBytes(const Text& text);
Text BytesToText(const Bytes& bytes);
Text BytesToText(const Text& text);  // a copy of the text

// Arrays and integers
int32_t ElementCount(const TextArray& array);
// The element itself. An index below 1 raises RunTimeError 4, one above the count RunTimeError 1.
Text& ElementAt(TextArray& array, int32_t index);
const Text& ElementAt(const TextArray& array, int32_t index);
void AppendElement(TextArray& array, const Text& text);
int32_t BitOr(int32_t a, int32_t b);

}  // namespace lumaclip
