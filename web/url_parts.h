// Taking an address apart for the request: host, port and path. This is deliberately a plain cut
// of the text, not a standards URL parser: only "http://" and "https://" are recognised, an
// address without a scheme counts as "http://", and every address yields some host, port and path.
#pragma once

#include <cstdint>

#include "text/values.h"

namespace lumaclip {

// The lower-cased text between the scheme and the next "/", cut at its first ":" unless
// `keepPort`; reduced to its last two dot-separated labels (port still attached) when `domainOnly`.
Text UrlHost(const Text& url, bool domainOnly = false, bool keepPort = false);
// The number after the last ":" of the host with port; else 443 for "https", 80 otherwise.
int32_t UrlPort(const Text& url);
// From the first "/" after the host to the end, query included, in the address's own case; "/"
// when there is none.
Text UrlPath(const Text& url);

}  // namespace lumaclip
