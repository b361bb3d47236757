// TextBetween on arbitrary texts and markers: a result is the stretch of the text right after an
// occurrence of the left marker (placeholder replaced), at a character start of the walk from the
// start position, and right before an occurrence of the right marker; it agrees with the plain
// model; the inputs stay unchanged.
//
// Input: a flags byte (bit 0 case flag, bit 1 start given, bit 2 write every double quote of the
// markers as the placeholder, bit 3 put the left marker into the middle of the text), four bytes
// of start position, then the text, the left and the right marker separated by zero bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz/text/text_model.h"
#include "text/text_between.h"

namespace {

using namespace lumaclip;

const std::string kPlaceholder = "#\xD2\xFD\xBA\xC5";

std::string WithPlaceholders(std::string_view marker) {
  std::string out;
  for (char c : marker) {
    if (c == '"') {
      out += kPlaceholder;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  const uint8_t flags = data[0];
  int32_t start = 0;
  if ((flags & 2) != 0) std::memcpy(&start, data + 1, sizeof start);
  if ((flags & 2) != 0 && (flags & 16) == 0) start %= 64;
  const bool caseSensitive = (flags & 1) != 0;
  const auto fields =
      model::Fields(std::string_view(reinterpret_cast<const char*>(data + 5), size - 5), 3);
  std::string text(fields[0]);
  std::string left(fields[1]);
  std::string right(fields[2]);
  if ((flags & 8) != 0) text.insert(text.size() / 2, left);
  if ((flags & 4) != 0) {
    left = WithPlaceholders(left);
    right = WithPlaceholders(right);
  }

  const Text textValue = Text::FromBytes(text);
  const Text leftValue = Text::FromBytes(left);
  const Text rightValue = Text::FromBytes(right);
  const Text result = TextBetween(textValue, leftValue, rightValue, start, caseSensitive);
  model::CheckText(result, model::Between(text, left, right, start, caseSensitive));

  if (result.IsPresent()) {
    const std::string leftMarker = model::Replace(left, kPlaceholder, "\"");
    const std::string rightMarker = model::Replace(right, kPlaceholder, "\"");
    // An empty left marker is found at position 1 whatever the start position.
    const int64_t from = leftMarker.empty() ? 0 : std::max<int64_t>(int64_t{start} - 1, 0);
    bool placed = false;
    for (int64_t at : model::CharacterStarts(text, from)) {
      if (!model::MatchesAt(text, at, leftMarker, !caseSensitive)) continue;
      // The first occurrence of the left marker decides.
      const std::size_t piece = static_cast<std::size_t>(at) + leftMarker.size();
      placed = text.compare(piece, result.View().size(), result.View()) == 0 &&
               model::MatchesAt(text, static_cast<int64_t>(piece + result.View().size()),
                                rightMarker, !caseSensitive);
      break;
    }
    MODEL_CHECK(placed);
  }
  MODEL_CHECK(textValue.View() == text && leftValue.View() == left && rightValue.View() == right);
  return 0;
}
