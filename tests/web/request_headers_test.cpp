// The agent, the completed header text and the flags word of a request, without any library.
#include "web/request_headers.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/text/text_checks.h"

namespace lumaclip {
namespace {

using testing::ExpectText;
using testing::T;

const std::string kDefaults =
    "\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded";

TEST(RequestAgent, ComesFromTheUserAgentLineOrTheDefault) {
  struct Case {
    const char* note;
    std::string extraHeaders;
    std::string agent;
  };
  const Case cases[] = {
      {"no extra headers", "", kDefaultAgent},
      {"no user-agent line", "Referer: r\r\nAccept: a", kDefaultAgent},
      {"one lower-case line without line end", "user-agent: X", "X"},
      {"a line with a line end", "User-Agent: X\r\nReferer: Y", "X"},
      {"value trimmed", "User-Agent:   X Y  \r\nA: b", "X Y"},
      {"a later line", "Referer: Y\r\nUSER-AGENT: Z\r\n", "Z"},
      {"nothing after the colon: empty, not the default", "User-Agent:", ""},
      {"a blank value", "User-Agent:   ", ""},
      // The fallback takes the value after the first colon of the whole text.
      {"the last line, not the first", "Referer: Y\r\nUser-Agent: Z", "Y\r\nUser-Agent: Z"},
      {"a blank value before a line end", "User-Agent: \r\nAccept: a", "\r\nAccept: a"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.note);
    ExpectText(RequestAgent(T(c.extraHeaders)), c.agent);
  }
}

TEST(CompleteRequestHeaders, AddsTheDefaultLinesTheCallerDidNotGive) {
  const std::string url = "http://a.host.test/x?y=1";
  struct Case {
    const char* note;
    std::string extraHeaders;
    std::string cookies;
    std::string sent;
  };
  const Case cases[] = {
      {"nothing given", "", "", "Referer: " + url + kDefaults},
      {"a user-agent line", "user-agent: X", "", "user-agent: X\r\nReferer: " + url + kDefaults},
      {"no second Referer", "User-Agent: X\r\nReferer: Y", "",
       "User-Agent: X\r\nReferer: Y" + kDefaults},
      {"the Referer search is case significant", "referer: y", "",
       "referer: y\r\nReferer: " + url + kDefaults},
      {"the Accept search is case significant", "accept: text/html", "",
       "accept: text/html\r\nReferer: " + url + kDefaults},
      {"Accept-Language is not Accept", "Accept-Language: en", "",
       "Accept-Language: en\r\nReferer: " + url +
           "\r\nAccept: */*\r\nContent-Type: application/x-www-form-urlencoded"},
      {"all four given", "Referer: r\r\nAccept: a\r\nAccept-Language: l\r\nContent-Type: c", "",
       "Referer: r\r\nAccept: a\r\nAccept-Language: l\r\nContent-Type: c"},
      {"a caller's line end is kept", "X-A: 1\r\n", "",
       "X-A: 1\r\n\r\nReferer: " + url + kDefaults},
      {"cookies add a last line", "", "a=1; b=2",
       "Referer: " + url + kDefaults + "\r\nCookie: a=1; b=2"},
      {"a Cookie line is not looked for", "Cookie: z=9", "a=1",
       "Cookie: z=9\r\nReferer: " + url + kDefaults + "\r\nCookie: a=1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.note);
    Text headers = T(c.extraHeaders);
    CompleteRequestHeaders(headers, T(url), T(c.cookies));
    ExpectText(headers, c.sent);
  }
}

TEST(CompleteRequestHeaders, AnEmptyAddressStillGivesTheRefererLine) {
  Text headers;
  CompleteRequestHeaders(headers, Text(), Text());
  ExpectText(headers, "Referer: " + kDefaults);
}

TEST(RequestFlags, FollowTheSchemeTheCookiesAndTheRedirectSwitch) {
  struct Case {
    const char* url;
    bool cookiesSupplied;
    bool noRedirect;
    InternetDword flags;
  };
  const Case cases[] = {
      {"http://h.test/", false, false, 0x80004010},  {"HTTPS://H.TEST/", false, false, 0x80800010},
      {"https://h.test/", false, false, 0x80800010}, {"h.test/x", false, false, 0x80004010},
      {"https", false, false, 0x80800010},           {"", false, false, 0x80004010},
      {"http://h.test/", true, false, 0x80084010},   {"http://h.test/", false, true, 0x80204010},
      {"https://h.test/", true, true, 0x80A80010},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.url) + (c.cookiesSupplied ? " cookies" : "") +
                 (c.noRedirect ? " noRedirect" : ""));
    EXPECT_EQ(RequestFlags(T(c.url), c.cookiesSupplied, c.noRedirect), c.flags);
  }
}

}  // namespace
}  // namespace lumaclip
