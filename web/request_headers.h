// What the request routine sends besides the body: the agent, the header text and the request
// flags. Plain functions over the values, usable without the network library.
#pragma once

#include "text/values.h"
#include "web/wininet_operations.h"

namespace lumaclip {

// The agent when the caller's header lines name none.
inline constexpr char kDefaultAgent[] =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; 846QZ; .NET CLR 2.0.50727; .NET CLR "
    "3.0.04506.648; .NET CLR 3.5.21022)";

// The agent named by a "User-Agent:" line of `extraHeaders` (searched ignoring case), else the
// default agent. A line without a line end after it, or with a blank value, falls back to the
// trimmed text after the first ":" of the whole header text, so "User-Agent:" alone gives the
// empty (absent) agent, not the default one.
Text RequestAgent(const Text& extraHeaders);

// Completes the caller's header text in place with the default lines it lacks, in the order
// Referer (= `url`), Accept, Accept-Language, Content-Type; each test is a case-significant search
// of the text built so far. A non-empty `cookies` adds a Cookie line, whatever the text holds.
// Lines are joined by "\r\n", with none after the last.
void CompleteRequestHeaders(Text& headers, const Text& url, const Text& cookies);

// RELOAD | NEED_FILE, NO_COOKIES when the caller gave a cookie text, NO_AUTO_REDIRECT on request,
// and SECURE for an address whose first five characters are "https" in any case, otherwise
// IGNORE_REDIRECT_TO_HTTPS.
InternetDword RequestFlags(const Text& url, bool cookiesSupplied, bool noRedirect);

}  // namespace lumaclip
