// FetchWebPage over the Linux layer against the loopback test server: what the server receives
// for each form of call, byte for byte, and what the routine hands back, failures included.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/platform/layer_test_support.h"
#include "tests/server/test_server_process.h"
#include "text/values.h"
#include "web/fetch_web_page.h"
#include "web/request_headers.h"

namespace lumaclip {
namespace {

using testing::Loopback;
using testing::RefusedPort;
using testing::ScopedEnvironment;
using testing::TestServer;
using testing::TestServerOptions;
using testing::WithPorts;

const std::string kAgentLine = std::string("User-Agent: ") + kDefaultAgent + "\r\n";
const std::string kDefaultLines =
    "Accept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded\r\n";

Text T(std::string_view text) {
  return Text::FromBytes(text);
}
std::string S(const Text& text) {
  return std::string(text.View());
}

// Every optional argument given, so that all that comes back can be checked.
struct Call {
  std::string url;
  int32_t method = 0;
  std::string postText;
  std::optional<std::string> cookies;
  std::string extraHeaders;
  std::string location;
  bool noRedirect = false;
  std::string postBytes;
  std::optional<std::string> proxy;
};

struct Result {
  std::string body;
  std::string cookies;
  std::string responseCookies;
  std::string extraHeaders;
  std::string location;
  std::string postBytes;
  std::string rawHeaders;
};

Result Fetch(const Call& call) {
  Text postText = T(call.postText);
  Text cookies = T(call.cookies.value_or(""));
  Text responseCookies;
  Text extraHeaders = T(call.extraHeaders);
  Text location = T(call.location);
  Bytes postBytes = Bytes::FromBytes(call.postBytes);
  Text proxy = T(call.proxy.value_or(""));
  Text rawHeaders;
  const Bytes body =
      FetchWebPage(T(call.url), call.method, &postText, call.cookies ? &cookies : nullptr,
                   &responseCookies, &extraHeaders, &location, call.noRedirect, &postBytes,
                   call.proxy ? &proxy : nullptr, &rawHeaders);
  return {
      std::string(body.View()),      S(cookies),   S(responseCookies), S(extraHeaders), S(location),
      std::string(postBytes.View()), S(rawHeaders)};
}

class FetchWebPageServerTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::PrepareRequestLayer(); }
};

TEST_F(FetchWebPageServerTest, TheDefaultRequestByteForByte) {
  TestServer server(R"({"*": {"body": "<html>page</html>"}})", TestServerOptions{.tls = true});
  ASSERT_TRUE(server.Started());
  const std::string url = server.Url("/share/v?id=7&x=%E4");
  EXPECT_EQ(std::string(FetchWebPage(T(url)).View()), "<html>page</html>");
  // An "https" address in capitals still sets the secure flag.
  const std::string secureUrl = WithPorts("HTTPS://LOCALHOST:{tls_port}/Page", 0, server.TlsPort());
  EXPECT_EQ(std::string(FetchWebPage(T(secureUrl)).View()), "<html>page</html>");

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].bytes,
            "GET /share/v?id=7&x=%E4 HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) +
                "\r\n" + kAgentLine + "Referer: " + url + "\r\n" + kDefaultLines + "\r\n");
  EXPECT_EQ(requests[1].bytes,
            "GET /Page HTTP/1.1\r\nHost: localhost:" + std::to_string(server.TlsPort()) + "\r\n" +
                kAgentLine + "Referer: " + secureUrl + "\r\n" + kDefaultLines + "\r\n");
  EXPECT_NE(requests[1].description.find("\"tls\": true"), std::string::npos);
}

TEST_F(FetchWebPageServerTest, ExtraHeaderLinesAndPostForms) {
  TestServer server(R"({"*": {"body": "ok"}})");
  ASSERT_TRUE(server.Started());
  const std::string url = server.Url("/form");
  const std::string host = "Host: 127.0.0.1:" + std::to_string(server.Port()) + "\r\n";
  const std::string referer = "Referer: " + url + "\r\n";
  const std::string sentDefaults =
      "\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: "
      "application/x-www-form-urlencoded";
  struct Case {
    const char* name;
    std::function<void(Call&)> setup;
    std::string request;       // what the server receives
    std::string extraHeaders;  // what the caller's variable holds afterwards
    std::string postBytes;
  };
  const Case cases[] = {
      {"agent in lower case", [](Call& c) { c.extraHeaders = "user-agent: X"; },
       "GET /form HTTP/1.1\r\n" + host + "user-agent: X\r\n" + referer + kDefaultLines + "\r\n",
       "user-agent: X\r\nReferer: " + url + sentDefaults, ""},
      {"agent and referer given", [](Call& c) { c.extraHeaders = "User-Agent: X\r\nReferer: Y"; },
       "GET /form HTTP/1.1\r\n" + host + "User-Agent: X\r\nReferer: Y\r\n" + kDefaultLines + "\r\n",
       "User-Agent: X\r\nReferer: Y" + sentDefaults, ""},
      {"empty agent", [](Call& c) { c.extraHeaders = "User-Agent:"; },
       "GET /form HTTP/1.1\r\n" + host + "User-Agent:\r\n" + referer + kDefaultLines + "\r\n",
       "User-Agent:\r\nReferer: " + url + sentDefaults, ""},
      // The default Accept line is still added, and the later line of the name wins.
      {"accept in lower case", [](Call& c) { c.extraHeaders = "accept: text/html"; },
       "GET /form HTTP/1.1\r\n" + host + kAgentLine + referer + kDefaultLines + "\r\n",
       "accept: text/html\r\nReferer: " + url + sentDefaults, ""},
      {"POST of a text",
       [](Call& c) {
         c.method = 1;
         c.postText = "a=1&b=%D6%D0";
       },
       "POST /form HTTP/1.1\r\n" + host + "Content-Length: 12\r\n" + kAgentLine + referer +
           kDefaultLines + "\r\na=1&b=%D6%D0",
       "Referer: " + url + sentDefaults, "a=1&b=%D6%D0"},
      {"POST of nothing", [](Call& c) { c.method = 1; },
       "POST /form HTTP/1.1\r\n" + host + "Content-Length: 0\r\n" + kAgentLine + referer +
           kDefaultLines + "\r\n",
       "Referer: " + url + sentDefaults, ""},
      {"GET with a body",
       [](Call& c) {
         c.method = 2;
         c.postText = "q=2";
       },
       "GET /form HTTP/1.1\r\n" + host + "Content-Length: 3\r\n" + kAgentLine + referer +
           kDefaultLines + "\r\nq=2",
       "Referer: " + url + sentDefaults, "q=2"},
      {"POST of bytes",
       [](Call& c) {
         c.method = 1;
         c.postText = "unused";
         c.postBytes = std::string("b\0\xff", 3);
       },
       "POST /form HTTP/1.1\r\n" + host + "Content-Length: 3\r\n" + kAgentLine + referer +
           kDefaultLines + "\r\n" + std::string("b\0\xff", 3),
       "Referer: " + url + sentDefaults, std::string("b\0\xff", 3)},
  };
  size_t seen = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Call call;
    call.url = url;
    c.setup(call);
    const Result result = Fetch(call);
    EXPECT_EQ(result.body, "ok");
    EXPECT_EQ(result.extraHeaders, c.extraHeaders);
    EXPECT_EQ(result.postBytes, c.postBytes);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), seen + 1);
    EXPECT_EQ(requests[seen].bytes, c.request);
    ++seen;
  }
}

std::string CookieLineOf(const std::string& requestBytes) {
  const size_t at = requestBytes.find("\r\nCookie: ");
  if (at == std::string::npos) return "<none>";
  const size_t start = at + 10;
  return requestBytes.substr(start, requestBytes.find("\r\n", start) - start);
}

TEST_F(FetchWebPageServerTest, CookiesSuppliedLeftOutAndMerged) {
  TestServer server(R"({"/login": {"headers": [["Set-Cookie", "uid=9; path=/"]], "body": "in"},
                        "/merge": {"headers": [["Set-Cookie", "b=3; path=/"]], "body": "merged"},
                        "*": {"body": "page"}})");
  ASSERT_TRUE(server.Started());
  ScopedEnvironment resolve("LUMACLIP_RESOLVE", Loopback("given.test", server.Port()) + ";" +
                                                    Loopback("kept.test", server.Port()));
  const auto url = [&](const char* host, const char* path) {
    return std::string("http://") + host + ":" + std::to_string(server.Port()) + path;
  };
  struct Case {
    const char* name;
    std::string url;
    std::optional<std::string> cookies;
    std::string cookieLineSent;
    std::string cookiesAfter;
    std::string responseCookies;
  };
  const Case cases[] = {
      // Supplied, even empty: no Cookie line, the store neither used nor fed, the merge runs.
      {"supplied empty", url("given.test", "/login"), "", "<none>", "uid=9", "uid=9"},
      {"store not fed", url("given.test", "/page"), std::nullopt, "<none>", "", ""},
      // Left out: the store of the run keeps and sends them.
      {"left out", url("kept.test", "/login"), std::nullopt, "<none>", "", "uid=9"},
      {"left out again", url("kept.test", "/page"), std::nullopt, "uid=9", "", ""},
      {"merged", url("given.test", "/merge"), "a=1; b=2", "a=1; b=2", "b=3; a=1", "b=3"},
  };
  size_t seen = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Call call;
    call.url = c.url;
    call.cookies = c.cookies;
    const Result result = Fetch(call);
    EXPECT_FALSE(result.body.empty());
    if (c.cookies) {
      EXPECT_EQ(result.cookies, c.cookiesAfter);
    }
    EXPECT_EQ(result.responseCookies, c.responseCookies);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), seen + 1);
    EXPECT_EQ(CookieLineOf(requests[seen].bytes), c.cookieLineSent);
    ++seen;
  }
}

TEST_F(FetchWebPageServerTest, RedirectsLocationsAndTheRawHeaders) {
  TestServer server(
      R"({"/moved": {"status": 302, "headers": [["Location", "/next"], ["Set-Cookie", "m=1; path=/"]],
                                   "body": "moved"},
                        "/next": {"raw": "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nfinal"},
                        "/described": {"headers": [["Content-Location", "/x"]], "body": "d"},
                        "/huge": {"header_pad": 6000, "headers": [["Location", "/y"], ["Set-Cookie", "h=1"]],
                                  "body": "huge"}})");
  ASSERT_TRUE(server.Started());
  const std::string finalHeaders = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n";
  const std::string spaces(5000, ' ');
  struct Case {
    const char* name;
    const char* path;
    bool noRedirect;
    std::string location;  // on entry
    std::string body;
    std::string locationAfter;
    std::string responseCookies;
    std::string rawHeaders;
  };
  const Case cases[] = {
      {"302 not followed", "/moved", true, "", "moved", "/next", "m=1", "<302>"},
      {"302 followed", "/moved", false, "", "final", finalHeaders, "", finalHeaders},
      {"caller's location kept", "/next", false, "mine", "final", "mine", "", finalHeaders},
      {"Content-Location", "/described", false, "", "d", "/x", "", "<200>"},
      {"header block too large", "/huge", false, "", "huge", spaces, "", spaces},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Call call;
    call.url = server.Url(c.path);
    call.noRedirect = c.noRedirect;
    call.location = c.location;
    const Result result = Fetch(call);
    EXPECT_EQ(result.body, c.body);
    EXPECT_EQ(result.location, c.locationAfter);
    EXPECT_EQ(result.responseCookies, c.responseCookies);
    if (c.rawHeaders == "<302>" || c.rawHeaders == "<200>") {
      EXPECT_EQ(result.rawHeaders.substr(0, 12), "HTTP/1.1 " + c.rawHeaders.substr(1, 3));
      EXPECT_TRUE(result.rawHeaders.ends_with("\r\n\r\n"));
    } else {
      EXPECT_EQ(result.rawHeaders, c.rawHeaders);
    }
  }
}

TEST_F(FetchWebPageServerTest, AProxyOnLoopback) {
  TestServer proxy(R"({"*": {"body": "through the proxy"}})");
  TestServer origin(R"({"*": {"body": "direct"}})");
  ASSERT_TRUE(proxy.Started());
  ASSERT_TRUE(origin.Started());
  Call viaProxy;
  viaProxy.url = "http://proxied.test/page";
  viaProxy.proxy = "127.0.0.1:" + std::to_string(proxy.Port());
  EXPECT_EQ(Fetch(viaProxy).body, "through the proxy");
  Call emptyProxy;
  emptyProxy.url = origin.Url("/page");
  emptyProxy.proxy = "";
  EXPECT_EQ(Fetch(emptyProxy).body, "direct");

  const auto requests = proxy.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].bytes, "GET http://proxied.test/page HTTP/1.1\r\nHost: proxied.test\r\n" +
                                   kAgentLine + "Referer: http://proxied.test/page\r\n" +
                                   kDefaultLines + "\r\n");
  EXPECT_EQ(origin.Requests().size(), 1u);
}

TEST_F(FetchWebPageServerTest, FailuresReturnWhatWasRead) {
  ScopedEnvironment stall("LUMACLIP_STALL_TIMEOUT_MS", "1500");
  TestServer server(
      R"({"/reset": {"headers": [["Set-Cookie", "r=1; path=/"]], "body_size": 50000, "reset_after": 3000},
                        "/stall": {"body_size": 50000, "stall_after": 2000}})",
      TestServerOptions{.tls = true});
  TestServer rogue(R"({"*": {"body": "rogue"}})",
                   TestServerOptions{.tls = true, .certificate = "rogue-server"});
  ASSERT_TRUE(server.Started());
  ASSERT_TRUE(rogue.Started());
  const std::string spaces(5000, ' ');
  struct Case {
    const char* name;
    std::string url;
    size_t bodySize;
    bool headersRead;
    std::string responseCookies;
  };
  const Case cases[] = {
      {"refused port", "http://127.0.0.1:" + std::to_string(RefusedPort()) + "/", 0, false, ""},
      {"unresolvable host", "http://nowhere.test/", 0, false, ""},
      {"untrusted certificate", "https://localhost:" + std::to_string(rogue.TlsPort()) + "/", 0,
       false, ""},
      {"reset inside the body", server.Url("/reset"), 3000, true, "r=1"},
      {"stall inside the body", server.Url("/stall"), 2000, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Call call;
    call.url = c.url;
    const Result result = Fetch(call);
    EXPECT_EQ(result.body, std::string(c.bodySize, 'x'));
    EXPECT_EQ(result.responseCookies, c.responseCookies);
    if (c.headersRead) {
      EXPECT_EQ(result.rawHeaders.substr(0, 15), "HTTP/1.1 200 OK");
      EXPECT_EQ(result.location, result.rawHeaders);
    } else {
      EXPECT_EQ(result.rawHeaders, spaces);
      EXPECT_EQ(result.location, spaces);
    }
  }
}

}  // namespace
}  // namespace lumaclip
