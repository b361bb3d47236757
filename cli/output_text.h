// What lumaclip-cli writes for a link: the plain line, the JSON line and the message on standard
// error. A page decides what the address holds, so no byte of it may break the one-line-per-link
// output or reach the terminal as a control sequence.
#pragma once

#include <string>
#include <string_view>

#include "cli/link_resolution.h"

namespace lumaclip::cli {

// `bytes` with every control byte (below 0x20, and 0x7F) written as %XX, the way such a byte
// stands in an address; all other bytes stay as they are.
std::string Printable(std::string_view bytes);

// The address and a line end, or the line end alone when the link failed.
std::string PlainLine(const LinkResult& result);

// One JSON object and a line end: link (or null), page (for --page only), input (for
// --extract-link only), address (or null), status, bodySize, and check (with --check, once an
// address was derived): address, method, status (or null), contentType, size (or null).
std::string JsonLine(const LinkResult& result, bool extractLink);

// "lumaclip-cli: LINK: what went wrong (detail)" and a line end; empty for a link that succeeded.
std::string FailureMessage(const LinkResult& result);

}  // namespace lumaclip::cli
