// Host, port and path of an address, cut out of its text the way the request has always done it.
// This is not a standards URL parser and must not become one: callers depend on its results for
// odd addresses too (a query with no "/" stays in the host, "http://" is found anywhere in the
// text, another scheme becomes part of the host).
#include "web/url_parts.h"

#include <optional>

#include "text/operations.h"
#include "text/text_between.h"

namespace lumaclip {
namespace {

const Text kSlash = Text::Literal("/");
const Text kColon = Text::Literal(":");
const Text kDot = Text::Literal(".");
const Text kHttp = Text::Literal("http://");
const Text kHttps = Text::Literal("https://");
const Text kHttpsName = Text::Literal("https");

}  // namespace

Text UrlHost(const Text& url, bool domainOnly, bool keepPort) {
  Text s = ToLowerCase(url);
  if (CompareText(TextRight(s, 1), kSlash) != 0) {
    s = ConcatText(s, kSlash);
  }

  // "https://" must open the address, while "http://" counts wherever it stands.
  Text scheme;
  if (CompareText(TextLeft(s, 8), kHttps) == 0) {
    scheme = kHttps;
  } else {
    if (FindText(s, kHttp, std::nullopt, false) == -1) {
      s = ConcatText(kHttp, s);
    }
    scheme = kHttp;
  }
  s = TextBetween(s, scheme, kSlash);

  // Done before the port is cut, so a port stays attached to the last label.
  if (domainOnly) {
    const TextArray labels = SplitText(s, kDot);
    const int32_t count = ElementCount(labels);
    if (count > 1) {
      s = ConcatText(ElementAt(labels, count - 1), kDot, ElementAt(labels, count));
    }
  }

  if (keepPort) {
    return s;
  }
  const int32_t colon = FindText(s, kColon, std::nullopt, false);
  if (colon != -1) {
    return TextLeft(s, colon - 1);
  }
  return s;
}

int32_t UrlPort(const Text& url) {
  const Text hostWithPort = UrlHost(url, false, true);
  const int32_t colon = FindTextReverse(hostWithPort, kColon, false);
  if (colon != -1) {
    return ToInteger(TextRight(hostWithPort, TextLength(hostWithPort) - colon));
  }
  return CompareText(TextLeft(ToLowerCase(url), 5), kHttpsName) == 0 ? 443 : 80;
}

Text UrlPath(const Text& url) {
  const Text host = UrlHost(url);
  // The host's first occurrence anywhere in the address, which for a short host may lie inside
  // the scheme; the path then starts earlier than the host does.
  const int32_t hostAt = FindText(url, host, 1, true);
  const int32_t slashAt = FindText(url, kSlash, hostAt, true);
  if (slashAt == -1) {
    return kSlash;
  }
  return TextRight(url, TextLength(url) - slashAt + 1);
}

}  // namespace lumaclip
