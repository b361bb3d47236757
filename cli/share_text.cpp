// The link inside a share text. Share texts put the address between a caption and a line of app
// instructions, usually with spaces around it but not always, so the address ends at the first
// byte that cannot stand in an address as apps write them.
#include "cli/share_text.h"

#include <cstddef>

namespace lumaclip::cli {
namespace {

bool EndsAddress(unsigned char byte) {
  return byte <= 0x20 || byte >= 0x7F || byte == '"' || byte == '\'' || byte == '<' ||
         byte == '>' || byte == '`';
}

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The length of "http://" or "https://" at `at`, or 0.
std::size_t SchemeLength(std::string_view text, std::size_t at) {
  for (std::string_view scheme : {std::string_view("http://"), std::string_view("https://")}) {
    if (text.size() - at < scheme.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < scheme.size() && same; ++i) same = Lower(text[at + i]) == scheme[i];
    if (same) return scheme.size();
  }
  return 0;
}

// Drops what ends the sentence rather than the address.
std::string_view TrimTrailingPunctuation(std::string_view address, std::size_t schemeLength) {
  while (address.size() > schemeLength + 1) {
    const char last = address.back();
    if (last == '.' || last == ',' || last == ';' || last == ':' || last == '!' || last == '?') {
      address.remove_suffix(1);
      continue;
    }
    if (last == ')' || last == ']') {
      const char open = last == ')' ? '(' : '[';
      std::ptrdiff_t balance = 0;
      for (char c : address) balance += (c == open) - (c == last);
      if (balance < 0) {
        address.remove_suffix(1);
        continue;
      }
    }
    break;
  }
  return address;
}

}  // namespace

std::optional<std::string_view> ExtractLink(std::string_view shareText) {
  for (std::size_t at = 0; at < shareText.size(); ++at) {
    if (Lower(shareText[at]) != 'h') continue;
    const std::size_t schemeLength = SchemeLength(shareText, at);
    if (schemeLength == 0) continue;
    std::size_t end = at + schemeLength;
    while (end < shareText.size() && !EndsAddress(static_cast<unsigned char>(shareText[end])))
      ++end;
    if (end == at + schemeLength) continue;  // "https://" with nothing after it
    return TrimTrailingPunctuation(shareText.substr(at, end - at), schemeLength);
  }
  return std::nullopt;
}

}  // namespace lumaclip::cli
