// The agent, header text and flags of a request, step by step as the request routine builds them.
#include "web/request_headers.h"

#include <optional>

#include "text/operations.h"
#include "text/text_between.h"
#include "web/fetch_web_page.h"

namespace lumaclip {
namespace {

bool Holds(const Text& text, const Text& sought) {
  return FindText(text, sought, std::nullopt, false) != -1;
}

}  // namespace

Text RequestAgent(const Text& extraHeaders) {
  const Text marker = Text::Literal("User-Agent:");
  if (FindText(extraHeaders, marker, std::nullopt, true) == -1) {
    return Text::Literal(kDefaultAgent);
  }
  Text agent = TrimBothEnds(TextBetween(extraHeaders, marker, Text::Literal("\r\n")));
  if (TextLength(agent) == 0) {
    agent = HeaderValue(extraHeaders);
  }
  return agent;
}

void CompleteRequestHeaders(Text& headers, const Text& url, const Text& cookies) {
  if (!Holds(headers, Text::Literal("Referer:"))) {
    if (TextLength(headers) == 0) {
      headers = ConcatText(Text::Literal("Referer: "), url);
    } else {
      headers = ConcatText(headers, Text::Literal("\r\nReferer: "), url);
    }
  }
  if (!Holds(headers, Text::Literal("Accept:"))) {
    headers = ConcatText(headers, Text::Literal("\r\nAccept: */*"));
  }
  if (!Holds(headers, Text::Literal("Accept-Language:"))) {
    headers = ConcatText(headers, Text::Literal("\r\nAccept-Language: zh-cn"));
  }
  if (!Holds(headers, Text::Literal("Content-Type:"))) {
    headers =
        ConcatText(headers, Text::Literal("\r\nContent-Type: application/x-www-form-urlencoded"));
  }
  if (TextLength(cookies) != 0) {
    headers = ConcatText(headers, Text::Literal("\r\nCookie: "), cookies);
  }
}

InternetDword RequestFlags(const Text& url, bool cookiesSupplied, bool noRedirect) {
  InternetDword flags = kInternetFlagReload | kInternetFlagNeedFile;
  if (cookiesSupplied) flags |= kInternetFlagNoCookies;
  if (noRedirect) flags |= kInternetFlagNoAutoRedirect;
  if (CompareText(ToLowerCase(TextLeft(url, 5)), Text::Literal("https")) == 0) {
    flags |= kInternetFlagSecure;
  } else {
    flags |= kInternetFlagIgnoreRedirectToHttps;
  }
  return flags;
}

}  // namespace lumaclip
