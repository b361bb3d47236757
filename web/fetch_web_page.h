// The one network routine: a synchronous HTTP or HTTPS request through the WinINet operations.
// A request that cannot be made yields the empty body; nothing is reported.
#pragma once

#include <cstdint>

#include "text/values.h"

namespace lumaclip {

// Optional by-reference parameters are pointers: null means left out (the routine then works on a
// fresh empty variable of its own). Only `cookies` and `proxy` are asked whether they were given.
//   method          1: "POST"; other values "GET". Not 0: a body is sent.
//   postText        the body as text, used when `postBytes` is empty.
//   cookies         in-out. Sent as a Cookie line when not empty; when given (even empty) the
//                   library's own cookie handling is off and it receives the merged cookie text.
//   responseCookies out: the cookies the response sets, "name=value" joined by "; ".
//   extraHeaders    in-out: the caller's header lines ("\r\n" between them); receives the whole
//                   header text sent.
//   location        in-out: the "Location:" value; when still empty, the raw header text.
//   noRedirect      true: redirects are not followed.
//   postBytes       in-out: the body as bytes; when empty and `method` is not 0 it receives
//                   the bytes of `postText`.
//   proxy           when given (even empty): proxy access through "http=" + proxy.
//   rawHeaders      out: the raw response header text.
// On the early-return paths (session, connection or request not opened) no variable is touched.
Bytes FetchWebPage(const Text& url, int32_t method = 0, const Text* postText = nullptr,
                   Text* cookies = nullptr, Text* responseCookies = nullptr,
                   Text* extraHeaders = nullptr, Text* location = nullptr, bool noRedirect = false,
                   Bytes* postBytes = nullptr, const Text* proxy = nullptr,
                   Text* rawHeaders = nullptr);

// The text after the first ":" of `line`, trimmed; empty when there is no ":".
Text HeaderValue(const Text& line);

}  // namespace lumaclip
