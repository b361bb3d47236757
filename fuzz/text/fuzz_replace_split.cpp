// ReplaceSubtext and SplitText on arbitrary texts: both agree with the plain model, empty pieces
// are absent, splitting and rejoining gives the text back (a text that ends with the separator
// loses only that last separator), and replacing a text by itself changes nothing but a lone lead
// byte the walk stops on.
//
// Input: the text, the sought text (separator) and the replacement, separated by zero bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/text/text_model.h"
#include "text/operations.h"

namespace {

using namespace lumaclip;

void Check(std::string_view text, std::string_view sought, std::string_view replacement) {
  const Text textValue = Text::FromBytes(text);
  const Text soughtValue = Text::FromBytes(sought);
  const Text replacementValue = Text::FromBytes(replacement);

  model::CheckText(ReplaceSubtext(textValue, soughtValue, replacementValue),
                   model::Replace(text, sought, replacement));
  const Text same = ReplaceSubtext(textValue, soughtValue, soughtValue);
  const bool lastIsLoneLead = !text.empty() && model::High(text.back());
  MODEL_CHECK(same.View() == text || (sought.size() == 1 && lastIsLoneLead &&
                                      same.View() == text.substr(0, text.size() - 1)));

  const TextArray pieces = SplitText(textValue, soughtValue);
  const model::Pieces expected = model::Split(text, sought);
  MODEL_CHECK(ElementCount(pieces) == static_cast<int32_t>(expected.size()));
  std::string joined;
  for (int32_t i = 1; i <= ElementCount(pieces); ++i) {
    const Text& piece = ElementAt(pieces, i);
    const auto& want = expected[static_cast<std::size_t>(i - 1)];
    MODEL_CHECK(piece.IsPresent() == want.has_value());
    MODEL_CHECK(piece.View() == (want ? std::string_view(*want) : std::string_view()));
    if (i > 1) joined += sought;
    joined += piece.View();
  }
  if (!text.empty() && !sought.empty()) {
    MODEL_CHECK(joined == text || joined + std::string(sought) == text);
  } else if (!text.empty()) {
    MODEL_CHECK(ElementCount(pieces) == 1 && joined == text);
  } else {
    MODEL_CHECK(ElementCount(pieces) == 0);
  }

  MODEL_CHECK(textValue.View() == text && soughtValue.View() == sought &&
              replacementValue.View() == replacement);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto fields = model::Fields(input, 3);
  Check(fields[0], fields[1], fields[2]);
  return 0;
}
