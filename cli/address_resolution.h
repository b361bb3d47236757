// Turning the address a share page gives (often relative: "/v/clip.mp4", "//cdn.example/clip.mp4")
// into the absolute address a browser would ask for, by the reference resolution rules of
// RFC 3986 (section 5.2), reading the reference as a browser reads a src attribute.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lumaclip::cli {

// True when `address` begins with "http://" or "https://" (any letter case).
bool IsWebAddress(std::string_view address);

// The address the request layer actually asks for: `link` itself when it is a web address, else
// "http://" + `link` (the layer reads an address without a scheme as http).
std::string AsWebAddress(std::string_view link);

// `reference` resolved against the absolute address `base`. Spaces and control bytes at either end
// of the reference are dropped and tabs and line ends inside it removed, as a browser does. A
// reference with a scheme of its own stands alone. nullopt when `base` has no scheme and the
// reference needs one.
std::optional<std::string> ResolveAddress(std::string_view base, std::string_view reference);

// `address` without its "#fragment", which is never sent in a request.
std::string_view WithoutFragment(std::string_view address);

}  // namespace lumaclip::cli
