// The request's header assembly and the response header scan on arbitrary bytes (the input split
// at its first zero byte into a header text and an address that also serves as the cookie text):
// the caller's header text is kept as the beginning of what is sent and every default line is
// there afterwards; the flags hold exactly one of SECURE and IGNORE_REDIRECT_TO_HTTPS; a response
// without "Location:" or "Set-Cookie" leaves the location alone or yields no cookie; nothing grows
// beyond its inputs.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/operations.h"
#include "web/fetch_web_page.h"
#include "web/request_headers.h"
#include "web/response_headers.h"

namespace {

using namespace lumaclip;

void Require(bool condition) {
  if (!condition) std::abort();
}

bool Holds(std::string_view text, std::string_view sought) {
  return text.find(sought) != std::string_view::npos;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

void CheckRequest(const Text& extraHeaders, const Text& url) {
  const std::string_view extra = extraHeaders.View();
  const Text agent = RequestAgent(extraHeaders);
  if (!Holds(Lower(extra), "user-agent:")) {
    Require(agent.View() == kDefaultAgent);
  } else {
    // The search steps over two-byte characters, so a name the bytes hold may still be missed.
    Require(agent.View() == kDefaultAgent || agent.Length() <= extraHeaders.Length());
  }

  Text headers = extraHeaders;
  CompleteRequestHeaders(headers, url, url);
  const std::string_view sent = headers.View();
  Require(sent.substr(0, extra.size()) == extra);
  for (std::string_view line : {"Referer:", "Accept:", "Accept-Language:", "Content-Type:"}) {
    Require(Holds(sent, line));
  }
  const std::string cookieLine = "\r\nCookie: " + std::string(url.View());
  if (url.Length() > 0) Require(sent.ends_with(cookieLine));
  Require(sent.size() <= extra.size() + 2 * url.View().size() + 160);

  const InternetDword flags = RequestFlags(url, false, false);
  Require((flags & (kInternetFlagReload | kInternetFlagNeedFile)) ==
          (kInternetFlagReload | kInternetFlagNeedFile));
  const bool secure = Lower(url.View().substr(0, 5)) == "https";
  Require(((flags & kInternetFlagSecure) != 0) == secure);
  Require(((flags & kInternetFlagIgnoreRedirectToHttps) != 0) == !secure);
}

void CheckResponse(const Text& rawHeaders) {
  const std::string_view raw = rawHeaders.View();
  Text location = Text::Literal("kept");
  Text responseCookies = Text::Literal("old=1");
  ScanResponseHeaders(rawHeaders, location, responseCookies);
  if (!Holds(raw, "Location:")) Require(location.View() == "kept");
  Require(location.Length() <= (rawHeaders.Length() > 4 ? rawHeaders.Length() : 4));
  if (!Holds(raw, "Set-Cookie")) Require(responseCookies.Length() == 0);
  Require(responseCookies.Length() <= rawHeaders.Length());

  const Text value = HeaderValue(rawHeaders);
  Require(Holds(raw, ":") ? value.Length() < rawHeaders.Length() : value.Length() == 0);

  Text empty;
  LocationFallback(empty, rawHeaders);
  Require(empty.View() == raw);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t zero = input.find('\0');
  const Text headerText = Text::FromBytes(input.substr(0, zero));
  const Text url =
      zero == std::string_view::npos ? Text() : Text::FromBytes(input.substr(zero + 1));
  CheckRequest(headerText, url);
  CheckResponse(headerText);
  return 0;
}
