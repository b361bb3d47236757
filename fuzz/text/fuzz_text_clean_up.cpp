// ToLowerCase, TrimBothEnds and RemoveAllSpaces on arbitrary texts, against the plain model:
// two-byte characters stay whole, only A-Z fold, only 0x20 and 0xA1 0xA1 count as spaces, and a
// lone lead byte at the end is kept by ToLowerCase and removed by the other two.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/text/text_model.h"
#include "text/operations.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace lumaclip;
  const std::string_view text =
      model::TextPart(std::string_view(reinterpret_cast<const char*>(data), size));
  const Text value = Text::FromBytes(text);

  const Text lower = ToLowerCase(value);
  model::CheckText(lower, model::Lower(text));
  MODEL_CHECK(lower.Length() == value.Length());

  const Text trimmed = TrimBothEnds(value);
  model::CheckText(trimmed, model::Trim(text));
  MODEL_CHECK(text.find(trimmed.View()) != std::string_view::npos);

  const Text removed = RemoveAllSpaces(value);
  model::CheckText(removed, model::RemoveSpaces(text));
  MODEL_CHECK(removed.Length() <= value.Length());

  MODEL_CHECK(value.View() == text);
  return 0;
}
