// The link inside arbitrary share texts: it is a piece of the text, opens with http:// or https://
// and something after it, holds no byte that ends an address, and no earlier place in the text
// opens a link.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "cli/share_text.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

bool EndsAddress(unsigned char byte) {
  return byte <= 0x20 || byte >= 0x7F || byte == '"' || byte == '\'' || byte == '<' ||
         byte == '>' || byte == '`';
}

// Whether a link opens at `at`: the scheme and one byte that may stand in an address.
bool OpensLink(std::string_view lower, std::size_t at) {
  for (std::string_view scheme : {std::string_view("http://"), std::string_view("https://")}) {
    if (lower.substr(at, scheme.size()) == scheme && at + scheme.size() < lower.size() &&
        !EndsAddress(static_cast<unsigned char>(lower[at + scheme.size()]))) {
      return true;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string lower = Lower(text);
  const std::optional<std::string_view> link = lumaclip::cli::ExtractLink(text);
  std::size_t first = std::string_view::npos;
  for (std::size_t at = 0; at < size && first == std::string_view::npos; ++at) {
    if (OpensLink(lower, at)) first = at;
  }
  Require(link.has_value() == (first != std::string_view::npos));
  if (!link) return 0;
  Require(link->data() == text.data() + first);
  const std::string linkLower = Lower(*link);
  const std::size_t scheme = linkLower.starts_with("https://") ? 8 : 7;
  Require(linkLower.starts_with("http://") || linkLower.starts_with("https://"));
  Require(link->size() > scheme);
  for (char c : *link) Require(!EndsAddress(static_cast<unsigned char>(c)));
  // What follows the link ends it, or was trimmed as punctuation.
  const std::size_t end = first + link->size();
  if (end < size && !EndsAddress(static_cast<unsigned char>(text[end]))) {
    Require(std::string_view(".,;:!?)]").find(text[end]) != std::string_view::npos);
  }
  return 0;
}
