// ToInteger on arbitrary texts against a reference of its own: the full-width forms folded, then
// the C library's base-10 reading, taken modulo 2^32; where that reading saturates, digit by digit
// in 64-bit arithmetic reduced modulo 2^32. Any 32-bit number written out, in ASCII or full-width
// digits, reads back as itself.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz/text/text_model.h"
#include "text/operations.h"

namespace {

using namespace lumaclip;

int32_t Reference(std::string_view text) {
  const std::string folded = model::FoldFullWidth(text);
  errno = 0;
  const long long value = std::strtoll(folded.c_str(), nullptr, 10);
  if (errno != ERANGE) return model::Wrap(static_cast<uint64_t>(value));

  std::size_t at = 0;
  while (at < folded.size() && (folded[at] == ' ' || (folded[at] >= 0x09 && folded[at] <= 0x0D))) {
    ++at;
  }
  const bool negative = at < folded.size() && folded[at] == '-';
  if (at < folded.size() && (folded[at] == '-' || folded[at] == '+')) ++at;
  uint64_t modulo = 0;
  for (; at < folded.size() && folded[at] >= '0' && folded[at] <= '9'; ++at) {
    modulo = (modulo * 10 + static_cast<uint64_t>(folded[at] - '0')) % (uint64_t{1} << 32);
  }
  if (negative) modulo = (uint64_t{1} << 32) - modulo;
  return model::Wrap(modulo);
}

std::string FullWidth(const std::string& ascii) {
  std::string out;
  for (char c : ascii) {
    out += '\xA3';
    out += static_cast<char>(static_cast<unsigned char>(c) + 0x80);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text =
      model::TextPart(std::string_view(reinterpret_cast<const char*>(data), size));
  const Text value = Text::FromBytes(text);
  MODEL_CHECK(ToInteger(value) == Reference(text));

  if (size >= 4) {
    int32_t number;
    std::memcpy(&number, data, sizeof number);
    const std::string written = std::to_string(number);
    MODEL_CHECK(ToInteger(Text::FromBytes(written)) == number);
    MODEL_CHECK(ToInteger(Text::FromBytes("\xA1\xA1" + FullWidth(written) + "x")) == number);
  }
  return 0;
}
