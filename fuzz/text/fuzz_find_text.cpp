// FindText and FindTextReverse on arbitrary texts: a returned position holds a match that begins
// at a character start of the walk, no earlier character start at or after the start position
// matches, and both agree with the plain model.
//
// Input: a flags byte (bit 0 ignore case, bit 1 start given), four bytes of start position, then
// the text and the sought text separated by a zero byte.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "fuzz/text/text_model.h"
#include "text/operations.h"

namespace {

using namespace lumaclip;

void Check(std::string_view text, std::string_view sought, std::optional<int32_t> start,
           bool ignoreCase) {
  const Text textValue = Text::FromBytes(text);
  const Text soughtValue = Text::FromBytes(sought);

  const int32_t found = FindText(textValue, soughtValue, start, ignoreCase);
  MODEL_CHECK(found == model::Find(text, sought, start, ignoreCase));
  const int64_t from = start ? std::max<int64_t>(int64_t{*start} - 1, 0) : 0;
  if (found != -1 && !sought.empty()) {
    const int64_t at = found - 1;
    MODEL_CHECK(at >= from);
    MODEL_CHECK(model::MatchesAt(text, at, sought, ignoreCase));
    bool atStart = false;
    for (int64_t characterStart : model::CharacterStarts(text, from)) {
      if (characterStart == at) {
        atStart = true;
        break;
      }
      MODEL_CHECK(!model::MatchesAt(text, characterStart, sought, ignoreCase));
    }
    MODEL_CHECK(atStart);
  }

  const int32_t last = FindTextReverse(textValue, soughtValue, ignoreCase);
  MODEL_CHECK(last == model::FindReverse(text, sought, ignoreCase));
  const int32_t first = FindText(textValue, soughtValue, std::nullopt, ignoreCase);
  MODEL_CHECK((first == -1) == (last == -1));
  MODEL_CHECK(last >= first);
  if (last != -1 && !sought.empty())
    MODEL_CHECK(model::MatchesAt(text, last - 1, sought, ignoreCase));

  MODEL_CHECK(textValue.View() == text && soughtValue.View() == sought);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  const bool ignoreCase = (data[0] & 1) != 0;
  int32_t startValue;
  std::memcpy(&startValue, data + 1, sizeof startValue);
  const std::optional<int32_t> start =
      (data[0] & 2) != 0 ? std::optional<int32_t>(startValue % 64) : std::nullopt;
  const std::string_view rest(reinterpret_cast<const char*>(data + 5), size - 5);
  const auto fields = model::Fields(rest, 2);
  Check(fields[0], fields[1], start, ignoreCase);
  // Extreme start positions, where s - 1 must not overflow.
  if ((data[0] & 4) != 0) Check(fields[0], fields[1], startValue, ignoreCase);
  return 0;
}
