// A request that shows its way: the same seven operations as the request routine, but redirects
// are followed here, one exchange at a time, so that every status line, every redirect target and
// the final address can be reported. --verbose, --check and --absolute use it; the plain path of
// lumaclip-cli uses the request routine itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumaclip::cli {

// Redirect statuses followed, the hop limit and the refusal of https -> http are those of the
// request layer when it follows redirects itself.
inline constexpr int kMaxRedirects = 10;

struct TracedRequest {
  std::string url;         // the first exchange asks for exactly this, as the request routine would
  std::string verb;        // "GET" or "HEAD"
  std::string headerText;  // lines joined by "\r\n", sent on every exchange
  std::string agent;
  bool readBody = true;
};

struct Exchange {
  std::string url;         // asked for
  std::string statusLine;  // empty when no answer came back
  int status = 0;          // 0 when no answer came back
  std::string location;    // the redirect target as the answer gave it, when it is followed
};

struct TracedResponse {
  std::vector<Exchange> exchanges;  // in order; never empty
  std::string finalUrl;             // the address of the last exchange, as a web address
  std::string rawHeaders;           // of the last answer
  std::string body;                 // of the last answer, when read
  int status = 0;                   // of the last answer; 0: none came back
  std::string stopReason;           // why the chain ended without an answer to use, if it did
};

TracedResponse PerformTracedRequest(const TracedRequest& request);

// The status code of the status line that opens `rawHeaders` ("HTTP/1.1 200 OK" -> 200), or 0.
int StatusCode(std::string_view rawHeaders);
// The first line of `rawHeaders` when it is a status line, else empty.
std::string_view StatusLine(std::string_view rawHeaders);
// The trimmed value of the first header line named `name` (letter case ignored), if any.
std::optional<std::string> HeaderField(std::string_view rawHeaders, std::string_view name);

}  // namespace lumaclip::cli
