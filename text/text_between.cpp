// TextBetween, the one routine that pulls a value out of markup or a header line.
#include "text/text_between.h"

#include "text/operations.h"

namespace lumaclip {
namespace {

// "#引号": the number sign and the two-byte characters 引 and 号 in code page 936.
const Text kQuotePlaceholder = Text::Literal("#\xD2\xFD\xBA\xC5");
const Text kQuote = Text::Literal("\"");

}  // namespace

Text TextBetween(const Text& text, const Text& leftMarker, const Text& rightMarker, int32_t start,
                 bool caseSensitive) {
  const Text left = ReplaceSubtext(leftMarker, kQuotePlaceholder, kQuote);
  const Text right = ReplaceSubtext(rightMarker, kQuotePlaceholder, kQuote);
  const bool ignoreCase = !caseSensitive;
  const int32_t leftAt = FindText(text, left, start, ignoreCase);
  if (leftAt == -1) return Text();
  // Exact: a position and a length within one text never pass 2^31.
  const int32_t pieceStart = leftAt + TextLength(left);
  const int32_t rightAt = FindText(text, right, pieceStart, ignoreCase);
  if (rightAt == -1) return Text();
  return TextMid(text, pieceStart, rightAt - pieceStart);
}

}  // namespace lumaclip
