// The seven WinINet operations of the Linux layer, reached the way the program reaches them (bound
// by name through the Linux loader), against the loopback test server: the exact bytes a server
// receives, how answers are handed out, redirects, the cookie store, proxies, and every failure.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/platform/layer_test_support.h"
#include "tests/server/test_server_process.h"
#include "web/wininet_operations.h"

namespace lumaclip {
namespace {

using testing::Loopback;
using testing::RefusedPort;
using testing::ScopedEnvironment;
using testing::ScopedHandle;
using testing::TestServer;
using testing::TestServerOptions;
using testing::WithPorts;

constexpr InternetDword kPlainFlags = kInternetFlagReload | kInternetFlagNoCookies;

struct Call {
  const char* agent = "agent/1";
  InternetDword access = kInternetOpenTypeDirect;
  std::string proxyList;
  std::string bypass;
  std::string host = "127.0.0.1";
  int port = 0;
  std::string verb = "GET";
  std::string object = "/";
  const char* version = "HTTP/1.1";
  const char* referrer = nullptr;
  std::vector<const char*> acceptTypes;
  InternetDword flags = kPlainFlags;
  std::string headers;
  std::string body;
  InternetDword readPiece = 1024;
};

struct Outcome {
  bool opened = false;
  bool sent = false;
  std::string body;
  bool lastReadSucceeded = false;
  bool rawHeadersRead = false;
  std::string rawHeaders;
};

Outcome Perform(const Call& call) {
  Outcome outcome;
  ScopedHandle session(
      CallInternetOpenA(call.agent, call.access,
                        call.access == kInternetOpenTypeProxy ? call.proxyList.c_str() : nullptr,
                        call.access == kInternetOpenTypeProxy ? call.bypass.c_str() : nullptr, 0));
  if (session.get() == nullptr) return outcome;
  ScopedHandle connection(CallInternetConnectA(session.get(), call.host.c_str(),
                                               static_cast<uint16_t>(call.port), nullptr, nullptr,
                                               kInternetServiceHttp, 0, 0));
  if (connection.get() == nullptr) return outcome;
  std::vector<const char*> accept = call.acceptTypes;
  if (!accept.empty()) accept.push_back(nullptr);
  ScopedHandle request(
      CallHttpOpenRequestA(connection.get(), call.verb.c_str(), call.object.c_str(), call.version,
                           call.referrer, accept.empty() ? nullptr : accept.data(), call.flags, 0));
  if (request.get() == nullptr) return outcome;
  outcome.opened = true;
  std::string body = call.body;
  outcome.sent = CallHttpSendRequestA(request.get(), call.headers.c_str(),
                                      static_cast<InternetDword>(call.headers.size()), body.data(),
                                      static_cast<InternetDword>(body.size())) != 0;
  std::vector<char> piece(call.readPiece);
  for (;;) {
    InternetDword count = 12345;
    outcome.lastReadSucceeded =
        CallInternetReadFile(request.get(), piece.data(), call.readPiece, &count) != 0;
    if (count == 0) break;
    outcome.body.append(piece.data(), count);
  }
  std::vector<char> raw(64 * 1024, ' ');
  InternetDword length = static_cast<InternetDword>(raw.size());
  outcome.rawHeadersRead = CallHttpQueryInfoA(request.get(), kHttpQueryRawHeadersCrlf, raw.data(),
                                              &length, nullptr) != 0;
  if (outcome.rawHeadersRead) outcome.rawHeaders.assign(raw.data(), length);
  return outcome;
}

std::vector<std::string> RequestBytes(const TestServer& server) {
  std::vector<std::string> bytes;
  for (const testing::RecordedRequest& request : server.Requests()) bytes.push_back(request.bytes);
  return bytes;
}

class LayerTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::PrepareRequestLayer(); }
};

// -- What the server receives -------------------------------------------------------------------

TEST_F(LayerTest, SendsExactlyTheFieldsWinINetSends) {
  TestServer server(R"({"*": {"body": "ok"}})");
  ASSERT_TRUE(server.Started());
  const char* acceptTypes[] = {"text/html", "", "*/*"};
  struct Case {
    const char* name;
    std::function<void(Call&)> setup;
    std::string expected;
  };
  const std::string host = "Host: 127.0.0.1:{port}\r\n";
  const std::string agent = "User-Agent: agent/1\r\n";
  const Case cases[] = {
      {"plain GET", [](Call& c) { c.object = "/p?q=1"; },
       "GET /p?q=1 HTTP/1.1\r\n" + host + agent + "\r\n"},
      {"caller lines",
       [](Call& c) {
         c.headers = "X-A: 1\r\nuser-agent: U\r\nX-B:  2  \r\nno colon\r\nX-A: 3\r\nX-Empty:";
       },
       "GET / HTTP/1.1\r\n" + host + "user-agent: U\r\nX-B: 2\r\nX-A: 3\r\nX-Empty:\r\n\r\n"},
      {"POST",
       [](Call& c) {
         c.verb = "POST";
         c.body = "a=1";
       },
       "POST / HTTP/1.1\r\n" + host + "Content-Length: 3\r\n" + agent + "\r\na=1"},
      {"POST without data", [](Call& c) { c.verb = "POST"; },
       "POST / HTTP/1.1\r\n" + host + "Content-Length: 0\r\n" + agent + "\r\n"},
      {"GET with data", [](Call& c) { c.body = "abc"; },
       "GET / HTTP/1.1\r\n" + host + "Content-Length: 3\r\n" + agent + "\r\nabc"},
      {"framing stays the layer's",
       [](Call& c) {
         c.verb = "POST";
         c.body = "xy";
         c.headers = "Content-Length: 99\r\nTransfer-Encoding: chunked\r\nContent-Type: text/plain";
       },
       "POST / HTTP/1.1\r\n" + host + "Content-Length: 2\r\n" + agent +
           "Content-Type: text/plain\r\n\r\nxy"},
      {"large POST, no Expect",
       [](Call& c) {
         c.verb = "POST";
         c.body = std::string(100000, 'z');
       },
       "POST / HTTP/1.1\r\n" + host + "Content-Length: 100000\r\n" + agent + "\r\n" +
           std::string(100000, 'z')},
      {"HEAD", [](Call& c) { c.verb = "HEAD"; },
       "HEAD / HTTP/1.1\r\n" + host + "Content-Length: 0\r\n" + agent + "\r\n"},
      {"other verb",
       [](Call& c) {
         c.verb = "DELETE";
         c.object = "/item";
       },
       "DELETE /item HTTP/1.1\r\n" + host + "Content-Length: 0\r\n" + agent + "\r\n"},
      {"object name", [](Call& c) { c.object = "/a b/../c d?x y"; },
       "GET /c%20d?x%20y HTTP/1.1\r\n" + host + agent + "\r\n"},
      {"no agent", [](Call& c) { c.agent = nullptr; }, "GET / HTTP/1.1\r\n" + host + "\r\n"},
      {"referrer and accept types",
       [&acceptTypes](Call& c) {
         c.referrer = "http://r.test/";
         c.acceptTypes = {acceptTypes[0], acceptTypes[1], acceptTypes[2]};
       },
       // The Host line always follows the request line.
       "GET / HTTP/1.1\r\n" + host + "Referer: http://r.test/\r\nAccept: text/html, */*\r\n" +
           agent + "\r\n"},
      {"caller's cookie line", [](Call& c) { c.headers = "Cookie: k=v"; },
       "GET / HTTP/1.1\r\n" + host + agent + "Cookie: k=v\r\n\r\n"},
      {"HTTP/1.0", [](Call& c) { c.version = "HTTP/1.0"; },
       "GET / HTTP/1.0\r\n" + host + agent + "\r\n"},
  };
  size_t seen = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Call call;
    call.port = server.Port();
    c.setup(call);
    const Outcome outcome = Perform(call);
    EXPECT_TRUE(outcome.sent);
    EXPECT_EQ(outcome.body, call.verb == "HEAD" ? "" : "ok");
    const std::vector<std::string> requests = RequestBytes(server);
    ASSERT_EQ(requests.size(), seen + 1);
    EXPECT_EQ(requests[seen], WithPorts(c.expected, server.Port()));
    ++seen;
  }
}

TEST_F(LayerTest, ReusesTheConnectionForTheNextRequest) {
  TestServer server(R"({"*": {"body": "ok"}})");
  ASSERT_TRUE(server.Started());
  Call call;
  call.port = server.Port();
  ASSERT_TRUE(Perform(call).sent);
  ASSERT_TRUE(Perform(call).sent);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].description.substr(0, 20), requests[1].description.substr(0, 20));
}

// -- How answers are handed out -----------------------------------------------------------------

TEST_F(LayerTest, HandsOutTheFinalResponseAsReceived) {
  struct Case {
    const char* name;
    const char* reply;
    std::string body;
    std::string rawHeaders;
  };
  const Case cases[] = {
      {"header lines as sent, line ends made CR LF",
       R"({"raw": "HTTP/1.1 200 OK\r\nX-Odd:value  \nSet-Cookie: a=b; path=/\r\nContent-Length: 2\r\n\r\nhi"})",
       "hi",
       "HTTP/1.1 200 OK\r\nX-Odd:value  \r\nSet-Cookie: a=b; path=/\r\nContent-Length: 2\r\n\r\n"},
      {"interim response skipped",
       R"({"raw": "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 201 Created\r\nContent-Length: 1\r\n\r\nz"})",
       "z", "HTTP/1.1 201 Created\r\nContent-Length: 1\r\n\r\n"},
      {"chunked body decoded, trailer not a header",
       R"({"raw": "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n2\r\nde\r\n0\r\nX-Trailer: t\r\n\r\n"})",
       "abcde", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"},
      {"content coding left alone",
       R"({"headers": [["Content-Encoding", "gzip"]], "body_hex": "1f8b08000000000000ff"})",
       std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\xff", 10),
       "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 10\r\n\r\n"},
      {"body ended by closing", R"({"body": "until close", "content_length": false})",
       "until close", "HTTP/1.1 200 OK\r\n\r\n"},
      {"error page", R"({"status": 404, "body": "missing"})", "missing",
       "HTTP/1.1 404 Not Found\r\nContent-Length: 7\r\n\r\n"},
      {"HTTP/1.0 answer",
       R"({"raw": "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok", "close": true})", "ok",
       "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestServer server(std::string(R"({"*": )") + c.reply + "}");
    ASSERT_TRUE(server.Started());
    Call call;
    call.port = server.Port();
    const Outcome outcome = Perform(call);
    EXPECT_TRUE(outcome.sent);
    EXPECT_TRUE(outcome.lastReadSucceeded);
    EXPECT_EQ(outcome.body, c.body);
    EXPECT_TRUE(outcome.rawHeadersRead);
    EXPECT_EQ(outcome.rawHeaders, c.rawHeaders);
  }
}

TEST_F(LayerTest, RawHeadersThatDoNotFitLeaveTheBufferUntouched) {
  TestServer server(R"({"/small": {"raw": "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"},
                        "/large": {"header_pad": 6000, "body": "x"}})");
  ASSERT_TRUE(server.Started());
  const std::string small = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";
  struct Case {
    const char* path;
    InternetDword bufferLength;
    bool fits;
  };
  const Case cases[] = {
      {"/small", static_cast<InternetDword>(small.size() + 1), true},
      {"/small", static_cast<InternetDword>(small.size()), false},
      {"/small", 0, false},
      {"/large", 5000, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " " + std::to_string(c.bufferLength));
    ScopedHandle session(CallInternetOpenA("a", kInternetOpenTypeDirect, nullptr, nullptr, 0));
    ScopedHandle connection(CallInternetConnectA(session.get(), "127.0.0.1",
                                                 static_cast<uint16_t>(server.Port()), nullptr,
                                                 nullptr, kInternetServiceHttp, 0, 0));
    ScopedHandle request(CallHttpOpenRequestA(connection.get(), "GET", c.path, "HTTP/1.1", nullptr,
                                              nullptr, kPlainFlags, 0));
    ASSERT_TRUE(CallHttpSendRequestA(request.get(), "", 0, nullptr, 0));
    std::string buffer(5000, ' ');
    InternetDword length = c.bufferLength;
    const bool read = CallHttpQueryInfoA(request.get(), kHttpQueryRawHeadersCrlf, buffer.data(),
                                         &length, nullptr);
    EXPECT_EQ(read, c.fits);
    if (c.fits) {
      EXPECT_EQ(length, small.size());
      EXPECT_EQ(std::string(buffer.c_str()), small);
    } else {
      EXPECT_EQ(buffer, std::string(5000, ' '));
      EXPECT_GT(length, c.bufferLength);
    }
  }
}

TEST_F(LayerTest, ReadsFillTheAskedCountUntilTheBodyEnds) {
  TestServer server(R"({"/short": {"body_size": 2500, "chunked": true, "chunk_size": 700},
                        "/long": {"body_size": 3000000, "body_byte": "y"}})");
  ASSERT_TRUE(server.Started());
  ScopedHandle session(CallInternetOpenA("a", kInternetOpenTypeDirect, nullptr, nullptr, 0));
  ScopedHandle connection(CallInternetConnectA(session.get(), "127.0.0.1",
                                               static_cast<uint16_t>(server.Port()), nullptr,
                                               nullptr, kInternetServiceHttp, 0, 0));
  {
    ScopedHandle request(CallHttpOpenRequestA(connection.get(), nullptr, "/short", nullptr, nullptr,
                                              nullptr, kPlainFlags, 0));
    ASSERT_TRUE(CallHttpSendRequestA(request.get(), nullptr, 0, nullptr, 0));
    char piece[1024];
    std::vector<InternetDword> counts;
    for (int i = 0; i < 5; ++i) {
      InternetDword count = 999;
      EXPECT_TRUE(CallInternetReadFile(request.get(), piece, sizeof piece, &count));
      counts.push_back(count);
    }
    EXPECT_EQ(counts, (std::vector<InternetDword>{1024, 1024, 452, 0, 0}));
  }
  {
    ScopedHandle request(CallHttpOpenRequestA(connection.get(), "GET", "/long", nullptr, nullptr,
                                              nullptr, kPlainFlags, 0));
    ASSERT_TRUE(CallHttpSendRequestA(request.get(), nullptr, 0, nullptr, 0));
    std::vector<char> piece(1 << 20);
    InternetDword count = 0;
    ASSERT_TRUE(CallInternetReadFile(request.get(), piece.data(), 1 << 20, &count));
    EXPECT_EQ(count, 1u << 20);
    size_t total = count;
    bool allY = std::all_of(piece.begin(), piece.end(), [](char c) { return c == 'y'; });
    while (CallInternetReadFile(request.get(), piece.data(), 1000, &count) && count != 0) {
      total += count;
      allY = allY &&
             std::all_of(piece.begin(), piece.begin() + count, [](char c) { return c == 'y'; });
    }
    EXPECT_EQ(total, 3000000u);
    EXPECT_TRUE(allY);
  }
}

TEST_F(LayerTest, AnswersQueriesByNumber) {
  TestServer server(
      R"({"*": {"status": 201, "headers": [["Set-Cookie", "a=1"], ["Set-Cookie", "b=2"],
                                                        ["X-Custom", " v "]], "body": "12345"}})");
  ASSERT_TRUE(server.Started());
  ScopedHandle session(CallInternetOpenA("a", kInternetOpenTypeDirect, nullptr, nullptr, 0));
  ScopedHandle connection(CallInternetConnectA(session.get(), "127.0.0.1",
                                               static_cast<uint16_t>(server.Port()), nullptr,
                                               nullptr, kInternetServiceHttp, 0, 0));
  ScopedHandle request(CallHttpOpenRequestA(connection.get(), "GET", "/", nullptr, nullptr, nullptr,
                                            kPlainFlags, 0));
  ASSERT_TRUE(CallHttpSendRequestA(request.get(), nullptr, 0, nullptr, 0));
  const auto text = [&](InternetDword level, InternetDword* index = nullptr) {
    char buffer[256] = "X-Custom";
    InternetDword length = sizeof buffer;
    return CallHttpQueryInfoA(request.get(), level, buffer, &length, index)
               ? std::string(buffer, length)
               : std::string("<failed>");
  };
  EXPECT_EQ(text(19), "201");
  EXPECT_EQ(text(20), "Created");
  EXPECT_EQ(text(18), "HTTP/1.1");
  EXPECT_EQ(text(65535), "v");
  EXPECT_EQ(text(5), "5");
  EXPECT_EQ(text(33), "<failed>");
  InternetDword index = 0;
  EXPECT_EQ(text(43, &index), "a=1");
  EXPECT_EQ(text(43, &index), "b=2");
  EXPECT_EQ(text(43, &index), "<failed>");
  InternetDword status = 0;
  InternetDword length = sizeof status;
  EXPECT_TRUE(CallHttpQueryInfoA(request.get(), 19 | 0x20000000, &status, &length, nullptr));
  EXPECT_EQ(status, 201u);
  char sent[512] = {};
  length = sizeof sent;
  ASSERT_TRUE(CallHttpQueryInfoA(request.get(), kHttpQueryRawHeadersCrlf | 0x80000000, sent,
                                 &length, nullptr));
  EXPECT_EQ(std::string(sent, length), server.Requests().at(0).bytes);
}

// -- Redirects -----------------------------------------------------------------------------------

TEST_F(LayerTest, FollowsRedirectsAsWinINetDoes) {
  const std::string host = "Host: 127.0.0.1:{port}\r\n";
  const std::string agent = "User-Agent: agent/1\r\n";
  const std::string form = "Content-Type: application/x-www-form-urlencoded\r\nX-Keep: k\r\n";
  const std::string postForm =
      "POST /form HTTP/1.1\r\n" + host + "Content-Length: 3\r\n" + agent + form + "\r\na=1";
  const auto post = [](Call& c) {
    c.verb = "POST";
    c.object = "/form";
    c.body = "a=1";
    c.headers = "Content-Type: application/x-www-form-urlencoded\r\nX-Keep: k";
  };
  const auto redirectTo = [](int status, const std::string& location) {
    return R"({"status": )" + std::to_string(status) + R"(, "headers": [["Location", )" +
           testing::JsonString(location) + R"(]], "body": "moved"})";
  };
  struct Case {
    const char* name;
    std::string routes;
    std::function<void(Call&)> setup;
    bool sent;
    std::string body;
    std::vector<std::string> requests;
  };
  const std::string plainGet = "GET /start HTTP/1.1\r\n" + host + agent + "\r\n";
  std::vector<Case> cases = {
      {"302 followed",
       R"({"/start": )" + redirectTo(302, "/next") + R"(, "/next": {"body": "final"}})",
       [](Call& c) { c.object = "/start"; },
       true,
       "final",
       {plainGet, "GET /next HTTP/1.1\r\n" + host + agent + "\r\n"}},
      {"relative location",
       R"({"/dir/start": )" + redirectTo(302, "sub/../leaf?x=1") +
           R"(, "/dir/leaf?x=1": {"body": "leaf"}})",
       [](Call& c) { c.object = "/dir/start"; },
       true,
       "leaf",
       {"GET /dir/start HTTP/1.1\r\n" + host + agent + "\r\n",
        "GET /dir/leaf?x=1 HTTP/1.1\r\n" + host + agent + "\r\n"}},
      {"another name on the same machine",
       R"({"/start": )" + redirectTo(301, "http://other.test:{port}/x") +
           R"(, "/x": {"body": "other"}})",
       [](Call& c) { c.object = "/start"; },
       true,
       "other",
       {plainGet, "GET /x HTTP/1.1\r\nHost: other.test:{port}\r\n" + agent + "\r\n"}},
      {"redirects not followed",
       R"({"/start": )" + redirectTo(302, "/next") + "}",
       [](Call& c) {
         c.object = "/start";
         c.flags |= kInternetFlagNoAutoRedirect;
       },
       true,
       "moved",
       {plainGet}},
      {"other scheme not followed",
       R"({"/start": )" + redirectTo(302, "ftp://files.test/f") + "}",
       [](Call& c) { c.object = "/start"; },
       true,
       "moved",
       {plainGet}},
      {"location missing",
       R"({"/start": {"status": 302, "body": "moved"}})",
       [](Call& c) { c.object = "/start"; },
       true,
       "moved",
       {plainGet}},
      {"endless loop ends", R"({"/start": )" + redirectTo(302, "/start") + "}",
       [](Call& c) { c.object = "/start"; }, false, "", std::vector<std::string>(11, plainGet)},
  };
  for (int status : {301, 302, 303}) {
    cases.push_back(
        {"POST becomes GET",
         R"({"/form": )" + redirectTo(status, "/done") + R"(, "/done": {"body": "done"}})",
         post,
         true,
         "done",
         {postForm, "GET /done HTTP/1.1\r\n" + host + agent + "X-Keep: k\r\n\r\n"}});
  }
  for (int status : {307, 308}) {
    cases.push_back(
        {"POST stays POST",
         R"({"/form": )" + redirectTo(status, "/done") + R"(, "/done": {"body": "done"}})",
         post,
         true,
         "done",
         {postForm,
          "POST /done HTTP/1.1\r\n" + host + "Content-Length: 3\r\n" + agent + form + "\r\na=1"}});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + ": " + c.routes);
    TestServer server(c.routes);
    ASSERT_TRUE(server.Started());
    ScopedEnvironment resolve("LUMACLIP_RESOLVE", Loopback("other.test", server.Port()));
    Call call;
    call.port = server.Port();
    c.setup(call);
    const Outcome outcome = Perform(call);
    EXPECT_EQ(outcome.sent, c.sent);
    EXPECT_EQ(outcome.body, c.body);
    EXPECT_EQ(outcome.rawHeadersRead, c.sent);
    const std::vector<std::string> requests = RequestBytes(server);
    ASSERT_EQ(requests.size(), c.requests.size());
    for (size_t i = 0; i < requests.size(); ++i) {
      EXPECT_EQ(requests[i], WithPorts(c.requests[i], server.Port())) << "request " << i + 1;
    }
  }
}

TEST_F(LayerTest, FollowsHttpToHttpsButNotBack) {
  TestServer server(
      R"({"/up": {"status": 302, "headers": [["Location", "https://localhost:{tls_port}/secure"]]},
                        "/secure": {"body": "secure"},
                        "/down": {"status": 302, "headers": [["Location", "http://127.0.0.1:{port}/plain"]]},
                        "/plain": {"body": "plain"}})",
      TestServerOptions{.tls = true});
  ASSERT_TRUE(server.Started());
  Call up;
  up.port = server.Port();
  up.object = "/up";
  up.flags |= kInternetFlagIgnoreRedirectToHttps;
  const Outcome upward = Perform(up);
  EXPECT_TRUE(upward.sent);
  EXPECT_EQ(upward.body, "secure");
  Call down;
  down.host = "localhost";
  down.port = server.TlsPort();
  down.object = "/down";
  down.flags |= kInternetFlagSecure;
  const Outcome downward = Perform(down);
  EXPECT_FALSE(downward.sent);
  EXPECT_EQ(downward.body, "");
  EXPECT_FALSE(downward.rawHeadersRead);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_NE(requests[1].description.find("\"tls\": true"), std::string::npos);
  EXPECT_EQ(
      requests[1].bytes,
      WithPorts("GET /secure HTTP/1.1\r\nHost: localhost:{tls_port}\r\nUser-Agent: agent/1\r\n\r\n",
                server.Port(), server.TlsPort()));
  EXPECT_EQ(requests[2].bytes.substr(0, 15), "GET /down HTTP/");
}

// -- The cookie store ---------------------------------------------------------------------------

std::string CookieLineOf(const std::string& requestBytes) {
  const size_t at = requestBytes.find("\r\nCookie: ");
  if (at == std::string::npos) return "<none>";
  const size_t start = at + 10;
  return requestBytes.substr(start, requestBytes.find("\r\n", start) - start);
}

TEST_F(LayerTest, KeepsCookiesForTheRunUnlessTheRequestSaysNo) {
  TestServer server(R"({"/set": {"headers": [["Set-Cookie", "a=1; path=/"], ["Set-Cookie", "b=2"]]},
                        "/hop": {"status": 302, "headers": [["Set-Cookie", "h=3"], ["Location", "/check"]]},
                        "/refused": {"headers": [["Set-Cookie", "z=9"]]},
                        "/secure": {"headers": [["Set-Cookie", "s=5; Secure"]]},
                        "*": {"body": "ok"}})",
                    TestServerOptions{.tls = true});
  ASSERT_TRUE(server.Started());
  ScopedEnvironment resolve(
      "LUMACLIP_RESOLVE",
      Loopback("jar.test", server.Port()) + ";" + Loopback("other-jar.test", server.Port()) + ";" +
          Loopback("secure.test", server.Port()) + ";" + Loopback("secure.test", server.TlsPort()));
  const auto visit = [&](const char* host, const char* path, InternetDword flags,
                         bool secure = false) {
    Call call;
    call.host = host;
    call.port = secure ? server.TlsPort() : server.Port();
    call.object = path;
    call.flags = flags | (secure ? kInternetFlagSecure : 0);
    EXPECT_TRUE(Perform(call).sent) << host << path;
    return CookieLineOf(server.Requests().back().bytes);
  };
  const InternetDword withCookies = kInternetFlagReload;
  EXPECT_EQ(visit("jar.test", "/set", withCookies), "<none>");
  EXPECT_EQ(visit("jar.test", "/check", withCookies), "a=1; b=2");
  EXPECT_EQ(visit("jar.test", "/check", kPlainFlags), "<none>");
  EXPECT_EQ(visit("jar.test", "/refused", kPlainFlags), "<none>");
  EXPECT_EQ(visit("jar.test", "/check", withCookies), "a=1; b=2");
  // Every hop's cookies are stored, and the next hop already sends them.
  EXPECT_EQ(visit("jar.test", "/hop", withCookies), "a=1; b=2; h=3");
  EXPECT_EQ(visit("other-jar.test", "/check", withCookies), "<none>");
  EXPECT_EQ(visit("secure.test", "/secure", withCookies, true), "<none>");
  EXPECT_EQ(visit("secure.test", "/check", withCookies, true), "s=5");
  EXPECT_EQ(visit("secure.test", "/check", withCookies, false), "<none>");
}

// -- Proxies ------------------------------------------------------------------------------------

TEST_F(LayerTest, SendsHttpThroughTheProxyAndEverythingElseDirect) {
  TestServer proxy(R"({"*": {"body": "from proxy"}})", TestServerOptions{.tls = true});
  TestServer origin(R"({"*": {"body": "direct"}})", TestServerOptions{.tls = true});
  ASSERT_TRUE(proxy.Started());
  ASSERT_TRUE(origin.Started());
  ScopedEnvironment resolve("LUMACLIP_RESOLVE", Loopback("near.bypassed.test", origin.Port()) +
                                                    " " +
                                                    Loopback("secure.test", origin.TlsPort()));
  const std::string viaProxy = "http=127.0.0.1:" + std::to_string(proxy.Port());
  struct Case {
    const char* name;
    std::string proxyList;
    std::string bypass;
    const char* host;
    int port;
    bool secure;
    const char* body;
  };
  const Case cases[] = {
      {"http goes through the proxy", viaProxy, "", "proxied.test", 0, false, "from proxy"},
      {"loopback goes direct", viaProxy, "", "127.0.0.1", origin.Port(), false, "direct"},
      {"bypass list", viaProxy, "*.bypassed.test", "near.bypassed.test", origin.Port(), false,
       "direct"},
      {"https goes direct", viaProxy, "", "secure.test", origin.TlsPort(), true, "direct"},
      {"an empty http entry is direct", "http=", "", "127.0.0.1", origin.Port(), false, "direct"},
      {"https through its own entry, tunnelled", "https=127.0.0.1:" + std::to_string(proxy.Port()),
       "", "proxied.test", 0, true, "from proxy"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Call call;
    call.access = kInternetOpenTypeProxy;
    call.proxyList = c.proxyList;
    call.bypass = c.bypass;
    call.host = c.host;
    call.port = c.port;
    call.object = "/via";
    if (c.secure) call.flags |= kInternetFlagSecure;
    const Outcome outcome = Perform(call);
    EXPECT_TRUE(outcome.sent);
    EXPECT_EQ(outcome.body, c.body);
  }
  const auto proxied = proxy.Requests();
  ASSERT_EQ(proxied.size(), 3u);
  EXPECT_EQ(
      proxied[0].bytes,
      "GET http://proxied.test/via HTTP/1.1\r\nHost: proxied.test\r\nUser-Agent: agent/1\r\n\r\n");
  EXPECT_EQ(proxied[1].bytes.substr(0, 35), "CONNECT proxied.test:443 HTTP/1.1\r\n");
  EXPECT_EQ(proxied[1].bytes.find("Proxy-Connection"), std::string::npos);
  EXPECT_EQ(proxied[2].bytes,
            "GET /via HTTP/1.1\r\nHost: proxied.test\r\nUser-Agent: agent/1\r\n\r\n");
  EXPECT_NE(proxied[2].description.find("\"tls\": true"), std::string::npos);
  EXPECT_EQ(origin.Requests().size(), 4u);
}

// -- Failures -----------------------------------------------------------------------------------

// A listening socket whose accept queue is full: connecting to it hangs until a time-out.
class UnansweredPort {
 public:
  UnansweredPort() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 0);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    for (int& filler : fillers_) {
      filler = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
      connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ~UnansweredPort() {
    for (int filler : fillers_) close(filler);
    close(listener_);
  }
  int Port() const { return port_; }

 private:
  int listener_ = -1;
  int fillers_[3] = {-1, -1, -1};
  int port_ = 0;
};

TEST_F(LayerTest, FailuresEndWithWhatWasRead) {
  ScopedEnvironment stall("LUMACLIP_STALL_TIMEOUT_MS", "1500");
  ScopedEnvironment connect("LUMACLIP_CONNECT_TIMEOUT_MS", "400");
  TestServer server(R"({"/reset": {"body_size": 100000, "reset_after": 3000},
                        "/stall": {"body_size": 100000, "stall_after": 2000},
                        "/late": {"delay": 5, "body": "late"}})",
                    TestServerOptions{.tls = true});
  TestServer rogue(R"({"*": {"body": "rogue"}})",
                   TestServerOptions{.tls = true, .certificate = "rogue-server"});
  ASSERT_TRUE(server.Started());
  ASSERT_TRUE(rogue.Started());
  UnansweredPort unanswered;
  ScopedEnvironment resolve("LUMACLIP_RESOLVE", Loopback("wrong-name.test", server.TlsPort()));
  struct Case {
    const char* name;
    const char* host;
    int port;
    bool secure;
    const char* path;
    bool sent;
    size_t bodySize;
  };
  const Case cases[] = {
      {"refused port", "127.0.0.1", RefusedPort(), false, "/", false, 0},
      {"unknown name, never looked up", "nowhere.test", server.Port(), false, "/", false, 0},
      {"connect time-out", "127.0.0.1", unanswered.Port(), false, "/", false, 0},
      {"untrusted certificate", "localhost", rogue.TlsPort(), true, "/", false, 0},
      {"certificate for another name", "wrong-name.test", server.TlsPort(), true, "/", false, 0},
      {"no header before the stall time-out", "127.0.0.1", server.Port(), false, "/late", false, 0},
      {"reset inside the body", "127.0.0.1", server.Port(), false, "/reset", true, 3000},
      {"stall inside the body", "127.0.0.1", server.Port(), false, "/stall", true, 2000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Call call;
    call.host = c.host;
    call.port = c.port;
    call.object = c.path;
    if (c.secure) call.flags |= kInternetFlagSecure;
    const Outcome outcome = Perform(call);
    EXPECT_TRUE(outcome.opened);
    EXPECT_EQ(outcome.sent, c.sent);
    EXPECT_EQ(outcome.body, std::string(c.bodySize, 'x'));
    EXPECT_FALSE(outcome.lastReadSucceeded);
    EXPECT_EQ(outcome.rawHeadersRead, c.sent);
  }
  EXPECT_TRUE(rogue.Requests().empty());
}

TEST_F(LayerTest, RefusesHandlesItDidNotGiveOrAlreadyClosed) {
  ScopedHandle session(CallInternetOpenA("a", kInternetOpenTypeDirect, nullptr, nullptr, 0));
  ASSERT_NE(session.get(), nullptr);
  InternetHandle closed = CallInternetOpenA("a", kInternetOpenTypeDirect, nullptr, nullptr, 0);
  ASSERT_TRUE(CallInternetCloseHandle(closed));
  EXPECT_FALSE(CallInternetCloseHandle(closed));
  InternetHandle made = reinterpret_cast<InternetHandle>(uintptr_t{0x1234});
  char buffer[16];
  InternetDword length = sizeof buffer;
  InternetDword count = 7;
  for (InternetHandle handle : {InternetHandle{}, made, closed, session.get()}) {
    SCOPED_TRACE(reinterpret_cast<uintptr_t>(handle));
    EXPECT_EQ(CallHttpOpenRequestA(handle, "GET", "/", nullptr, nullptr, nullptr, 0, 0), nullptr);
    EXPECT_FALSE(CallHttpSendRequestA(handle, nullptr, 0, nullptr, 0));
    EXPECT_FALSE(CallInternetReadFile(handle, buffer, sizeof buffer, &count));
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(CallHttpQueryInfoA(handle, kHttpQueryRawHeadersCrlf, buffer, &length, nullptr));
    if (handle != session.get()) {
      EXPECT_EQ(CallInternetConnectA(handle, "h", 80, nullptr, nullptr, kInternetServiceHttp, 0, 0),
                nullptr);
      EXPECT_FALSE(CallInternetCloseHandle(handle));
    }
  }
  // Arguments the operations cannot use.
  EXPECT_EQ(
      CallInternetConnectA(session.get(), "", 80, nullptr, nullptr, kInternetServiceHttp, 0, 0),
      nullptr);
  EXPECT_EQ(CallInternetConnectA(session.get(), nullptr, 80, nullptr, nullptr, kInternetServiceHttp,
                                 0, 0),
            nullptr);
  EXPECT_EQ(CallInternetConnectA(session.get(), "h", 21, nullptr, nullptr, 1, 0, 0), nullptr);
  ScopedHandle connection(CallInternetConnectA(session.get(), "h.test", 0, nullptr, nullptr,
                                               kInternetServiceHttp, 0, 0));
  EXPECT_EQ(CallHttpOpenRequestA(connection.get(), "GET /x HTTP/1.1\r\nHost:", "/", nullptr,
                                 nullptr, nullptr, 0, 0),
            nullptr);
  ScopedHandle request(
      CallHttpOpenRequestA(connection.get(), "GET", "/", nullptr, nullptr, nullptr, 0, 0));
  ASSERT_NE(request.get(), nullptr);
  EXPECT_FALSE(CallInternetReadFile(request.get(), buffer, sizeof buffer, &count));  // not sent yet
  EXPECT_FALSE(CallInternetReadFile(request.get(), buffer, sizeof buffer, nullptr));
  EXPECT_FALSE(
      CallHttpQueryInfoA(request.get(), kHttpQueryRawHeadersCrlf, buffer, nullptr, nullptr));
  EXPECT_FALSE(CallHttpSendRequestA(request.get(), nullptr, 0, nullptr, 5));
  // Closing the session closes what was opened under it.
  const InternetHandle requestHandle = request.get();
  session.Reset();
  EXPECT_FALSE(CallHttpSendRequestA(requestHandle, nullptr, 0, nullptr, 0));
  EXPECT_FALSE(CallInternetCloseHandle(requestHandle));
  EXPECT_FALSE(CallInternetCloseHandle(connection.get()));
}

TEST_F(LayerTest, ClosingARequestEndsAWaitInAnotherThread) {
  TestServer server(R"({"*": {"body_size": 100000, "stall_after": 1000, "stall_seconds": 60}})");
  ASSERT_TRUE(server.Started());
  ScopedHandle session(CallInternetOpenA("a", kInternetOpenTypeDirect, nullptr, nullptr, 0));
  ScopedHandle connection(CallInternetConnectA(session.get(), "127.0.0.1",
                                               static_cast<uint16_t>(server.Port()), nullptr,
                                               nullptr, kInternetServiceHttp, 0, 0));
  const InternetHandle request =
      CallHttpOpenRequestA(connection.get(), "GET", "/", nullptr, nullptr, nullptr, kPlainFlags, 0);
  ASSERT_TRUE(CallHttpSendRequestA(request, nullptr, 0, nullptr, 0));
  std::thread closer([request] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    CallInternetCloseHandle(request);
  });
  const auto start = std::chrono::steady_clock::now();
  std::vector<char> buffer(4096);
  InternetDword count = 0;
  const bool read = CallInternetReadFile(request, buffer.data(), 4096, &count);
  closer.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_TRUE(read);
  EXPECT_EQ(count, 1000u);
  EXPECT_FALSE(CallInternetReadFile(request, buffer.data(), 4096, &count));
}

TEST_F(LayerTest, ServesManyThreadsAtOnce) {
  TestServer server(R"({"*": {"headers": [["Set-Cookie", "t=1"]], "body": "shared"}})");
  ASSERT_TRUE(server.Started());
  ScopedEnvironment resolve("LUMACLIP_RESOLVE", Loopback("many.test", server.Port()));
  std::atomic<int> good{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 15; ++i) {
        Call call;
        call.host = (t % 2 == 0) ? "many.test" : "127.0.0.1";
        call.port = server.Port();
        call.flags = kInternetFlagReload;
        call.object = "/" + std::to_string(t) + "/" + std::to_string(i);
        const Outcome outcome = Perform(call);
        if (outcome.sent && outcome.body == "shared") ++good;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(good.load(), 8 * 15);
  EXPECT_EQ(server.Requests().size(), 8u * 15u);
}

}  // namespace
}  // namespace lumaclip
