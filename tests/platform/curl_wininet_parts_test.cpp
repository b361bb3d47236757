// The WinINet layer's parts that need no network: the header list's add and replace rules, the
// cookie store, request targets and redirect resolution, and the proxy list.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "platform/linux/curl_wininet/cookie_jar.h"
#include "platform/linux/curl_wininet/proxy_rules.h"
#include "platform/linux/curl_wininet/request_headers.h"
#include "platform/linux/curl_wininet/request_target.h"

namespace lumaclip::curl_wininet {
namespace {

std::string Lines(const RequestHeaders& headers) {
  std::string text;
  for (const HeaderField& field : headers.Fields()) text += field.name + ": " + field.value + "|";
  return text;
}

TEST(RequestHeadersTest, CallerLinesReplaceEarlierFieldsOfTheSameName) {
  struct Case {
    const char* callerText;
    const char* expected;
  };
  const Case cases[] = {
      {"", "Host: h|User-Agent: agent|"},
      {"X-A: 1", "Host: h|User-Agent: agent|X-A: 1|"},
      // A later line of the same name removes the earlier one and takes the end of the list.
      {"X-A: 1\r\nX-B: 2\r\nx-a: 3", "Host: h|User-Agent: agent|X-B: 2|x-a: 3|"},
      {"user-agent: U", "Host: h|user-agent: U|"},
      // An empty value removes a present field and adds an absent one.
      {"User-Agent:", "Host: h|"},
      {"X-Empty:", "Host: h|User-Agent: agent|X-Empty: |"},
      // Lines end at CR or LF; spaces around name and value go; lines without a colon or a name
      // are skipped.
      {"  X-A  :  v w  \nno colon\r\n: nameless\r\n\r\nX-B:2",
       "Host: h|User-Agent: agent|X-A: v w|X-B: 2|"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.callerText);
    RequestHeaders headers;
    headers.AddIfNew("Host", "h");
    headers.AddIfNew("User-Agent", "agent");
    headers.AddIfNew("Host", "ignored");
    ForEachHeaderLine(c.callerText, [&](std::string_view name, std::string_view value) {
      headers.Replace(name, value);
    });
    EXPECT_EQ(Lines(headers), c.expected);
  }
}

TEST(RequestHeadersTest, SetKeepsThePlaceAndRemoveTakesEveryField) {
  RequestHeaders headers;
  headers.AddIfNew("Host", "a");
  headers.AddIfNew("Content-Type", "t");
  headers.Set("host", "b");
  headers.Set("X-New", "n");
  headers.Remove("CONTENT-TYPE");
  EXPECT_EQ(Lines(headers), "Host: b|X-New: n|");
  EXPECT_EQ(RequestHeaderBlock("GET", "/x", "HTTP/1.1", headers.Fields()),
            "GET /x HTTP/1.1\r\nHost: b\r\nX-New: n\r\n\r\n");
}

TEST(CookieDateTest, ReadsTheFormsServersSend) {
  const std::time_t expected = 784111777;  // 1994-11-06 08:49:37 UTC
  for (const char* text : {"Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
                           "Sun Nov  6 08:49:37 1994", "Sun, 06-Nov-1994 08:49:37 GMT"}) {
    SCOPED_TRACE(text);
    ASSERT_TRUE(ParseCookieDate(text).has_value());
    EXPECT_EQ(*ParseCookieDate(text), expected);
  }
  for (const char* text : {"", "tomorrow", "Sun, 06 Nov 1994", "06 Nov 1994 25:00:00 GMT",
                           "Sun, 32 Nov 1994 08:49:37 GMT"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(ParseCookieDate(text).has_value());
  }
}

class CookieJarTest : public ::testing::Test {
 protected:
  static constexpr std::time_t kNow = 1700000000;  // November 2023
  CookieJar jar;
};

TEST_F(CookieJarTest, SendsWhatHostAndPathCover) {
  jar.Store("www.site.test", "/shop/cart?x=1", "a=1", kNow);  // default path /shop
  jar.Store("www.site.test", "/", "b=2; Path=/; HttpOnly", kNow);
  jar.Store("www.site.test", "/", "c=3; Domain=.site.test; Path=/", kNow);
  jar.Store("www.site.test", "/", "s=4; Secure", kNow);
  jar.Store("www.site.test", "/", "flag=; Path=/", kNow);
  jar.Store("www.site.test", "/", "novalue", kNow);                 // no "=": ignored
  jar.Store("www.site.test", "/", "d=5; Domain=other.test", kNow);  // foreign domain: ignored
  jar.Store("www.site.test", "/", "e=6; Domain=test", kNow);        // no dot: ignored
  struct Case {
    const char* host;
    const char* path;
    bool secure;
    const char* expected;
  };
  const Case cases[] = {
      {"www.site.test", "/shop/item", false, "a=1; b=2; flag; c=3"},
      {"www.site.test", "/SHOP", false, "a=1; b=2; flag; c=3"},
      {"www.site.test", "/", true, "b=2; s=4; flag; c=3"},
      {"WWW.Site.Test", "/?q", false, "b=2; flag; c=3"},
      {"img.www.site.test", "/", false, "b=2; flag; c=3"},
      {"site.test", "/", false, "c=3"},
      {"other.test", "/", false, ""},
      {"xsite.test", "/", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.host) + c.path);
    EXPECT_EQ(jar.CookieLine(c.host, c.path, c.secure, kNow), c.expected);
  }
}

TEST_F(CookieJarTest, ALaterCookieReplacesAndAPastExpiryRemoves) {
  jar.Store("h.test", "/", "a=1", kNow);
  jar.Store("h.test", "/", "b=2", kNow);
  jar.Store("h.test", "/", "A=3", kNow);  // names match without regard to case
  EXPECT_EQ(jar.CookieLine("h.test", "/", false, kNow), "b=2; A=3");
  jar.Store("h.test", "/", "b=; Expires=Thu, 01 Jan 1970 00:00:00 GMT", kNow);
  EXPECT_EQ(jar.CookieLine("h.test", "/", false, kNow), "A=3");
  jar.Store("h.test", "/", "t=1; Expires=Wed, 15 Nov 2023 00:00:00 GMT", kNow);
  EXPECT_EQ(jar.CookieLine("h.test", "/", false, kNow), "A=3; t=1");
  EXPECT_EQ(jar.CookieLine("h.test", "/", false, kNow + 7 * 86400), "A=3");
  // Max-Age is not WinINet's: the cookie stays.
  jar.Store("h.test", "/", "m=1; Max-Age=0", kNow);
  EXPECT_EQ(jar.CookieLine("h.test", "/", false, kNow), "A=3; m=1");
}

TEST_F(CookieJarTest, StaysBoundedUnderAFloodOfCookies) {
  for (int i = 0; i < 500; ++i) jar.Store("flood.test", "/", "n" + std::to_string(i) + "=v", kNow);
  const std::string line = jar.CookieLine("flood.test", "/", false, kNow);
  EXPECT_EQ(std::count(line.begin(), line.end(), '='), 50);
  EXPECT_EQ(line.find("n449="), std::string::npos);
  EXPECT_NE(line.find("n499=v"), std::string::npos);
  jar.Store("flood.test", "/", "big=" + std::string(5000, 'x'), kNow);
  EXPECT_EQ(jar.CookieLine("flood.test", "/", false, kNow).find("big="), std::string::npos);
}

TEST(RequestTargetTest, ObjectNamesBecomeRequestTargets) {
  struct Case {
    const char* objectName;
    const char* expected;
  };
  const Case cases[] = {
      {"", "/"},
      {"/", "/"},
      {"/a/b?c=1&d=/x", "/a/b?c=1&d=/x"},
      {"page", "/page"},
      {"/a b/c\td?q r", "/a%20b/c%09d?q%20r"},
      {"/a/./b/../c", "/a/c"},
      {"/../../x", "/x"},
      {"/a/b/..", "/a/"},
      {"/a//b", "/a//b"},
      {"/x\r\nHost: evil", "/x%0D%0AHost:%20evil"},
      {"/\xC4\xE3\xBA\xC3", "/\xC4\xE3\xBA\xC3"},
      {"/p#frag", "/p#frag"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.objectName);
    EXPECT_EQ(RequestPathFromObjectName(c.objectName), c.expected);
  }
}

TEST(RequestTargetTest, HostLinesAndReachableNames) {
  EXPECT_EQ(HostHeaderValue({false, "a.test", 80, "/"}), "a.test");
  EXPECT_EQ(HostHeaderValue({false, "a.test", 443, "/"}), "a.test:443");
  EXPECT_EQ(HostHeaderValue({true, "a.test", 443, "/"}), "a.test");
  EXPECT_EQ(HostHeaderValue({true, "::1", 8443, "/"}), "[::1]:8443");
  for (const char* name : {"localhost", "a-b.c_d.test", "127.0.0.1", "::1", "\xC4\xE3.test"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(IsReachableHostName(name));
  }
  for (const char* name : {"", "user@host", "a b", "host?q=1", "a/b", "h\r\nX: y", "[::1]"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(IsReachableHostName(name));
  }
}

TEST(RequestTargetTest, LocationsResolveAgainstTheHopThatSentThem) {
  const RequestTarget base{false, "a.test", 8080, "/dir/page?q=1"};
  struct Case {
    const char* location;
    LocationKind kind;
    bool secure;
    const char* host;
    uint16_t port;
    const char* path;
  };
  const Case cases[] = {
      {"/next", LocationKind::kFollow, false, "a.test", 8080, "/next"},
      {"next?x=1", LocationKind::kFollow, false, "a.test", 8080, "/dir/next?x=1"},
      {"../up", LocationKind::kFollow, false, "a.test", 8080, "/up"},
      {"?only=query", LocationKind::kFollow, false, "a.test", 8080, "/dir/page?only=query"},
      {"#top", LocationKind::kFollow, false, "a.test", 8080, "/dir/page?q=1"},
      {"  /spaced path#f  ", LocationKind::kFollow, false, "a.test", 8080, "/spaced%20path"},
      {"http://B.Test/x", LocationKind::kFollow, false, "b.test", 80, "/x"},
      {"HTTPS://b.test:8443", LocationKind::kFollow, true, "b.test", 8443, "/"},
      {"https://user:pw@b.test/p", LocationKind::kFollow, true, "b.test", 443, "/p"},
      {"//c.test/y", LocationKind::kFollow, false, "c.test", 80, "/y"},
      {"http://[::1]:81/v6", LocationKind::kFollow, false, "::1", 81, "/v6"},
      {"ftp://files.test/f", LocationKind::kOtherScheme, false, "", 0, ""},
      {"javascript:alert(1)", LocationKind::kOtherScheme, false, "", 0, ""},
      {"", LocationKind::kInvalid, false, "", 0, ""},
      {"http://", LocationKind::kInvalid, false, "", 0, ""},
      {"http://b.test:99999/", LocationKind::kInvalid, false, "", 0, ""},
      {"http://bad host/", LocationKind::kInvalid, false, "", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.location);
    const ResolvedLocation resolved = ResolveLocation(base, c.location);
    ASSERT_EQ(resolved.kind, c.kind);
    if (c.kind != LocationKind::kFollow) continue;
    EXPECT_EQ(resolved.target.secure, c.secure);
    EXPECT_EQ(resolved.target.host, c.host);
    EXPECT_EQ(resolved.target.port, c.port);
    EXPECT_EQ(resolved.target.path, c.path);
  }
}

TEST(ProxyRulesTest, ChoosesByScheme) {
  struct Case {
    const char* list;
    const char* bypass;
    bool secure;
    const char* host;
    const char* expected;  // "" for direct
  };
  const Case cases[] = {
      {"http=p.test:8080", "", false, "a.test", "p.test:8080"},
      {"http=p.test:8080", "", true, "a.test", ""},
      {"http=", "", false, "a.test", ""},
      {"http=p.test", "", false, "a.test", "p.test:80"},
      {"http=http://p.test:81/", "", false, "a.test", "p.test:81"},
      {"p.test:3128", "", true, "a.test", "p.test:3128"},
      {"https=s.test:1;http=h.test:2", "", true, "a.test", "s.test:1"},
      {"http=p.test:8080", "", false, "localhost", ""},
      {"http=p.test:8080", "", false, "127.0.0.1", ""},
      {"http=p.test:8080", "", false, "::1", ""},
      {"http=p.test:8080", "*.near.test;<local>", false, "x.near.test", ""},
      {"http=p.test:8080", "*.near.test;<local>", false, "intranet", ""},
      {"http=p.test:8080", "*.near.test;<local>", false, "near.test", "p.test:8080"},
      {"http=user@p.test:1", "", false, "a.test", ""},
      {"http=a.test:1 b.test:2", "", true, "x.test", "b.test:2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.list) + " / " + c.bypass + " / " + c.host);
    const auto proxy = ProxyFor(ParseProxyRules(c.list, c.bypass), c.secure, c.host);
    EXPECT_EQ(proxy ? proxy->host + ":" + std::to_string(proxy->port) : std::string(), c.expected);
  }
}

}  // namespace
}  // namespace lumaclip::curl_wininet
