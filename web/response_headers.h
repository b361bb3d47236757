// Reading the raw response header text after a request: the redirect target and the cookies the
// response sets. Plain functions over the values, usable without the network library.
#pragma once

#include "text/values.h"

namespace lumaclip {

// Splits `rawHeaders` at "\r\n" and scans the lines in order. A line holding "Location:" (case
// significant, so "Content-Location:" counts too) sets `location` to its HeaderValue, the last
// such line winning; `location` is left alone when there is none. `responseCookies` is rewritten
// with one item per line holding "Set-Cookie": the trimmed text between "Set-Cookie:" and the next
// ";" (found ignoring case), items joined by "; ". A cookie line without ";" adds an empty item.
void ScanResponseHeaders(const Text& rawHeaders, Text& location, Text& responseCookies);

// An empty `location` receives a copy of `rawHeaders`.
void LocationFallback(Text& location, const Text& rawHeaders);

}  // namespace lumaclip
