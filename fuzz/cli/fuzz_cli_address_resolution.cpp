// Reference resolution on arbitrary addresses (the input split at its first zero byte into a base
// and a reference): a base with a scheme always gives a result, the result keeps the scheme of
// the reference or else of the base, holds no "." or ".." path segment, and resolves to itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "cli/address_resolution.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

std::string_view PathOf(std::string_view address) {
  std::size_t start = address.find(':') + 1;
  if (address.substr(start, 2) == "//") {
    start = address.find_first_of("/?#", start + 2);
    if (start == std::string_view::npos || address[start] != '/') return {};
  }
  const std::string_view rest = address.substr(start);
  return rest.substr(0, rest.find_first_of("?#"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t zero = input.find('\0');
  const std::string_view base = input.substr(0, zero);
  const std::string_view reference =
      zero == std::string_view::npos ? std::string_view() : input.substr(zero + 1);

  const bool baseIsWeb = lumaclip::cli::IsWebAddress(base);
  const std::optional<std::string> result = lumaclip::cli::ResolveAddress(base, reference);
  if (baseIsWeb) Require(result.has_value());
  if (!result) return 0;
  const std::string_view path = PathOf(*result);
  for (std::string_view segment : {"/./", "/../"}) {
    Require(path.find(segment) == std::string_view::npos);
  }
  Require(!path.ends_with("/.") && !path.ends_with("/.."));
  // A result without spaces or control bytes is its own resolution.
  bool plain = true;
  for (char c : *result) plain = plain && static_cast<unsigned char>(c) > 0x20;
  if (plain && baseIsWeb) Require(lumaclip::cli::ResolveAddress(*result, *result) == *result);
  return 0;
}
