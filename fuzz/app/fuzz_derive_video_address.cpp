// DeriveVideoAddress on arbitrary pages: the result always ends in ".mp4", and anything before it
// is the stretch of the page right after the first marker up to the next ".jpg", as found by a
// plain walk written out here on its own.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/derive_video_address.h"

namespace {

using lumaclip::Bytes;
using lumaclip::Text;

constexpr std::string_view kMarker = "class=\"video-preview\" src=\"";
constexpr std::size_t kNotFound = std::string_view::npos;

char Fold(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 0x20) : c;
}

// The first match, ignoring A-Z case, that begins on a character boundary counted from `from`
// (a byte of 0x80 or above takes the byte after it along).
std::size_t FindFolded(std::string_view text, std::string_view sought, std::size_t from) {
  std::size_t at = from;
  while (at < text.size()) {
    if (text.size() - at >= sought.size()) {
      bool same = true;
      for (std::size_t i = 0; i < sought.size() && same; ++i) {
        same = Fold(text[at + i]) == Fold(sought[i]);
      }
      if (same) return at;
    }
    if (static_cast<unsigned char>(text[at]) >= 0x80) {
      if (at + 1 >= text.size()) break;
      at += 2;
    } else {
      at += 1;
    }
  }
  return kNotFound;
}

std::string Expected(std::string_view body) {
  const std::string_view page = body.substr(0, body.find('\0'));
  const std::size_t marker = FindFolded(page, kMarker, 0);
  if (marker == kNotFound) return ".mp4";
  const std::size_t start = marker + kMarker.size();
  const std::size_t suffix = FindFolded(page, ".jpg", start);
  if (suffix == kNotFound) return ".mp4";
  return std::string(page.substr(start, suffix - start)) + ".mp4";
}

void Check(std::string_view body) {
  const Bytes bytes = Bytes::FromBytes(body);
  const Text address = lumaclip::DeriveVideoAddress(bytes);
  const std::string_view result = address.View();
  if (!address.IsPresent() || result.size() < 4 || result.substr(result.size() - 4) != ".mp4") {
    std::abort();
  }
  if (result != Expected(body)) std::abort();
  if (bytes.View() != body) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  Check(input);
  // The same bytes with a marker put in the middle, so that most runs get past the marker.
  const std::size_t middle = size / 2;
  std::string marked(input.substr(0, middle));
  marked += kMarker;
  marked += input.substr(middle);
  Check(marked);
  return 0;
}
