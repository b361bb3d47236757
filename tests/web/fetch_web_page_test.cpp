// FetchWebPage over a fake WinINet layer: a LibraryLoader whose functions record what the routine
// passes and play back a scripted response, so every argument and every path can be checked
// without a network.
#include "web/fetch_web_page.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "tests/text/text_checks.h"
#include "web/request_headers.h"
#include "web/wininet_operations.h"

namespace lumaclip {
namespace {

using testing::ExpectBytes;
using testing::ExpectText;
using testing::Shown;
using testing::T;

std::optional<std::string> Captured(const char* text) {
  if (text == nullptr) return std::nullopt;
  return std::string(text);
}

InternetHandle const kSession = reinterpret_cast<InternetHandle>(0x5E55);
InternetHandle const kConnection = reinterpret_cast<InternetHandle>(0xC022);
InternetHandle const kRequest = reinterpret_cast<InternetHandle>(0x4E9);

// The script of one exchange and the record of what the routine passed.
struct FakeLayer {
  // script
  bool failOpen = false;
  bool failConnect = false;
  bool failRequest = false;
  std::vector<InternetDword> pieces;  // the count of each read; 0 afterwards
  bool lastReadWritesCount = true;    // false: the read after the pieces fails leaving the count
  std::optional<std::string> rawHeaders = "HTTP/1.1 200 OK\r\nServer: fake\r\n\r\n";  // none: fails

  // record
  std::vector<std::string> calls;
  std::optional<std::string> agent, proxy, proxyBypass;
  InternetDword accessType = 99, openFlags = 99;
  std::optional<std::string> host, userName, password;
  InternetHandle connectSession = nullptr;
  uint16_t port = 0;
  InternetDword service = 99, connectFlags = 99;
  uintptr_t connectContext = 99;
  InternetHandle requestConnection = nullptr;
  std::optional<std::string> verb, objectName, version, referrer;
  bool acceptTypesNull = false;
  InternetDword requestFlags = 0;
  uintptr_t requestContext = 99;
  std::optional<std::string> headers;
  InternetDword headersLength = 0;
  bool optionalNull = false;
  std::string optional;
  InternetDword optionalLength = 99;
  int reads = 0;
  bool readBuffersFresh = true;  // every read got 1024 zero bytes and was asked for 1024
  InternetDword queryLevel = 0, queryLength = 0;
  bool queryIndexNull = false;
  bool queryBufferBlank = false;  // 5000 spaces, a zero byte after them
  std::vector<InternetHandle> closed;
};

FakeLayer* layer = nullptr;
int loads = 0;
int releases = 0;

InternetHandle FakeOpen(const char* agent, InternetDword accessType, const char* proxy,
                        const char* proxyBypass, InternetDword flags) {
  layer->calls.push_back("InternetOpenA");
  layer->agent = Captured(agent);
  layer->accessType = accessType;
  layer->proxy = Captured(proxy);
  layer->proxyBypass = Captured(proxyBypass);
  layer->openFlags = flags;
  return layer->failOpen ? nullptr : kSession;
}

InternetHandle FakeConnect(InternetHandle session, const char* serverName, uint16_t serverPort,
                           const char* userName, const char* password, InternetDword service,
                           InternetDword flags, uintptr_t context) {
  layer->calls.push_back("InternetConnectA");
  layer->connectSession = session;
  layer->host = Captured(serverName);
  layer->port = serverPort;
  layer->userName = Captured(userName);
  layer->password = Captured(password);
  layer->service = service;
  layer->connectFlags = flags;
  layer->connectContext = context;
  return layer->failConnect ? nullptr : kConnection;
}

InternetHandle FakeOpenRequest(InternetHandle connection, const char* verb, const char* objectName,
                               const char* version, const char* referrer, const char** acceptTypes,
                               InternetDword flags, uintptr_t context) {
  layer->calls.push_back("HttpOpenRequestA");
  layer->requestConnection = connection;
  layer->verb = Captured(verb);
  layer->objectName = Captured(objectName);
  layer->version = Captured(version);
  layer->referrer = Captured(referrer);
  layer->acceptTypesNull = acceptTypes == nullptr;
  layer->requestFlags = flags;
  layer->requestContext = context;
  return layer->failRequest ? nullptr : kRequest;
}

InternetBool FakeSend(InternetHandle request, const char* headers, InternetDword headersLength,
                      void* optional, InternetDword optionalLength) {
  layer->calls.push_back("HttpSendRequestA");
  EXPECT_EQ(request, kRequest);
  layer->headers = Captured(headers);
  layer->headersLength = headersLength;
  layer->optionalNull = optional == nullptr;
  if (optional != nullptr)
    layer->optional.assign(static_cast<const char*>(optional), optionalLength);
  layer->optionalLength = optionalLength;
  return 1;
}

// Piece i is filled with the letter 'a' + i % 26.
InternetBool FakeRead(InternetHandle file, void* buffer, InternetDword bytesToRead,
                      InternetDword* bytesRead) {
  layer->calls.push_back("InternetReadFile");
  EXPECT_EQ(file, kRequest);
  const char* bytes = static_cast<const char*>(buffer);
  if (bytesToRead != 1024) layer->readBuffersFresh = false;
  for (InternetDword i = 0; i < 1024; ++i) {
    if (bytes[i] != 0) layer->readBuffersFresh = false;
  }
  const std::size_t index = static_cast<std::size_t>(layer->reads++);
  if (index < layer->pieces.size()) {
    std::memset(buffer, 'a' + static_cast<int>(index % 26), layer->pieces[index]);
    *bytesRead = layer->pieces[index];
    return 1;
  }
  // A routine that keeps a stale count would read on; stop it after a few reads so that the test
  // fails instead of hanging.
  const bool writeCount = layer->lastReadWritesCount || index > layer->pieces.size() + 4;
  if (writeCount) *bytesRead = 0;
  return layer->lastReadWritesCount ? 1 : 0;
}

InternetBool FakeQuery(InternetHandle request, InternetDword infoLevel, void* buffer,
                       InternetDword* bufferLength, InternetDword* index) {
  layer->calls.push_back("HttpQueryInfoA");
  EXPECT_EQ(request, kRequest);
  layer->queryLevel = infoLevel;
  layer->queryLength = *bufferLength;
  layer->queryIndexNull = index == nullptr;
  const char* bytes = static_cast<const char*>(buffer);
  layer->queryBufferBlank =
      std::string_view(bytes, 5000) == std::string(5000, ' ') && bytes[5000] == '\0';
  if (!layer->rawHeaders) return 0;
  const std::string& raw = *layer->rawHeaders;
  EXPECT_LT(raw.size(), *bufferLength);
  std::memcpy(buffer, raw.data(), raw.size());
  static_cast<char*>(buffer)[raw.size()] = '\0';
  *bufferLength = static_cast<InternetDword>(raw.size());
  return 1;
}

InternetBool FakeClose(InternetHandle handle) {
  layer->calls.push_back("InternetCloseHandle");
  layer->closed.push_back(handle);
  return 1;
}

void* FakeLoad(const char* libraryName) {
  ++loads;
  return std::strcmp(libraryName, "wininet.dll") == 0 ? &loads : nullptr;
}

void* FakeFind(void* library, const char* name) {
  EXPECT_EQ(library, &loads);
  const std::string n = name;
  if (n == "InternetOpenA") return reinterpret_cast<void*>(&FakeOpen);
  if (n == "InternetConnectA") return reinterpret_cast<void*>(&FakeConnect);
  if (n == "HttpOpenRequestA") return reinterpret_cast<void*>(&FakeOpenRequest);
  if (n == "HttpSendRequestA") return reinterpret_cast<void*>(&FakeSend);
  if (n == "InternetReadFile") return reinterpret_cast<void*>(&FakeRead);
  if (n == "HttpQueryInfoA") return reinterpret_cast<void*>(&FakeQuery);
  if (n == "InternetCloseHandle") return reinterpret_cast<void*>(&FakeClose);
  return nullptr;
}

void FakeRelease(void* library) {
  ++releases;
}

// The fake's functions must match the table's types exactly.
static_assert(std::is_same_v<decltype(&FakeOpen), InternetOpenAFunction>);
static_assert(std::is_same_v<decltype(&FakeConnect), InternetConnectAFunction>);
static_assert(std::is_same_v<decltype(&FakeOpenRequest), HttpOpenRequestAFunction>);
static_assert(std::is_same_v<decltype(&FakeSend), HttpSendRequestAFunction>);
static_assert(std::is_same_v<decltype(&FakeRead), InternetReadFileFunction>);
static_assert(std::is_same_v<decltype(&FakeQuery), HttpQueryInfoAFunction>);
static_assert(std::is_same_v<decltype(&FakeClose), InternetCloseHandleFunction>);

const std::string kDefaultLines =
    "\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded";

class FetchWebPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    layer = &fake;
    loads = 0;
    releases = 0;
    InstallLibraryLoader(LibraryLoader{FakeLoad, FakeFind, FakeRelease});
  }
  void TearDown() override {
    ReleaseBoundLibrary();
    layer = nullptr;
  }
  FakeLayer fake;
};

TEST_F(FetchWebPageTest, TheDefaultRequest) {
  fake.pieces = {5};
  const std::string url = "http://A.Host.Test:8080/a/B?c=1";
  const Bytes body = FetchWebPage(T(url));

  ExpectBytes(body, "aaaaa");
  EXPECT_EQ(fake.calls,
            (std::vector<std::string>{"InternetOpenA", "InternetConnectA", "HttpOpenRequestA",
                                      "HttpSendRequestA", "InternetReadFile", "InternetReadFile",
                                      "HttpQueryInfoA", "InternetCloseHandle",
                                      "InternetCloseHandle", "InternetCloseHandle"}));
  EXPECT_EQ(fake.agent, kDefaultAgent);
  EXPECT_EQ(fake.accessType, kInternetOpenTypeDirect);
  EXPECT_EQ(fake.proxy, std::nullopt);
  EXPECT_EQ(fake.proxyBypass, std::nullopt);
  EXPECT_EQ(fake.openFlags, 0u);

  EXPECT_EQ(fake.connectSession, kSession);
  EXPECT_EQ(fake.host, "a.host.test");
  EXPECT_EQ(fake.port, 8080);
  EXPECT_EQ(fake.userName, std::nullopt);
  EXPECT_EQ(fake.password, std::nullopt);
  EXPECT_EQ(fake.service, kInternetServiceHttp);
  EXPECT_EQ(fake.connectFlags, 0u);
  EXPECT_EQ(fake.connectContext, 0u);

  EXPECT_EQ(fake.requestConnection, kConnection);
  EXPECT_EQ(fake.verb, "GET");
  EXPECT_EQ(fake.objectName, "/a/B?c=1");
  EXPECT_EQ(fake.version, "HTTP/1.1");
  EXPECT_EQ(fake.referrer, std::nullopt);
  EXPECT_TRUE(fake.acceptTypesNull);
  EXPECT_EQ(fake.requestFlags, 0x80004010u);
  EXPECT_EQ(fake.requestContext, 0u);

  const std::string headers = "Referer: " + url + kDefaultLines;
  EXPECT_EQ(fake.headers, headers);
  EXPECT_EQ(fake.headersLength, headers.size());
  EXPECT_FALSE(fake.optionalNull) << "method 0 passes the empty text, not a null pointer";
  EXPECT_EQ(fake.optionalLength, 0u);

  EXPECT_EQ(fake.reads, 2);
  EXPECT_TRUE(fake.readBuffersFresh);
  EXPECT_EQ(fake.queryLevel, kHttpQueryRawHeadersCrlf);
  EXPECT_EQ(fake.queryLength, 5000u);
  EXPECT_TRUE(fake.queryIndexNull);
  EXPECT_TRUE(fake.queryBufferBlank);
  EXPECT_EQ(fake.closed, (std::vector<InternetHandle>{kRequest, kConnection, kSession}));
  EXPECT_EQ(loads, 1);
}

TEST_F(FetchWebPageTest, HttpsAddressesAndDefaultPorts) {
  struct Case {
    std::string url;
    InternetDword flags;
    std::string host;
    uint16_t port;
    std::string path;
  };
  const Case cases[] = {
      {"HTTPS://Host.Test/Index.html", 0x80800010, "host.test", 443, "/Index.html"},
      {"https://host.test", 0x80800010, "host.test", 443, "/"},
      {"http://host.test", 0x80004010, "host.test", 80, "/"},
      {"host.test:8080/x", 0x80004010, "host.test", 8080, "/x"},
      {"https://host.test:/", 0x80800010, "host.test", 0, "/"},
      {"http://host.test:65617/", 0x80004010, "host.test", 81, "/"},  // the 16 bits it takes
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    fake = FakeLayer();
    FetchWebPage(T(c.url));
    EXPECT_EQ(fake.requestFlags, c.flags);
    EXPECT_EQ(fake.host, c.host);
    EXPECT_EQ(fake.port, c.port);
    EXPECT_EQ(fake.objectName, c.path);
  }
}

TEST_F(FetchWebPageTest, AnEmptyAddressPassesNoHost) {
  FetchWebPage(Text());
  EXPECT_EQ(fake.host, std::nullopt);
  EXPECT_EQ(fake.port, 80);
  EXPECT_EQ(fake.objectName, "/");
  EXPECT_EQ(fake.headers, "Referer: " + kDefaultLines);
}

TEST_F(FetchWebPageTest, CookiesAndRedirectSwitchSetTheFlags) {
  const std::string url = "http://h.test/";
  Text cookies;
  FetchWebPage(T(url), 0, nullptr, &cookies);
  EXPECT_EQ(fake.requestFlags, 0x80084010u) << "cookies supplied, even empty";
  EXPECT_EQ(fake.headers, "Referer: " + url + kDefaultLines) << "no Cookie line when empty";

  fake = FakeLayer();
  FetchWebPage(T(url), 0, nullptr, nullptr, nullptr, nullptr, nullptr, true);
  EXPECT_EQ(fake.requestFlags, 0x80204010u);

  fake = FakeLayer();
  cookies = T("a=1; b=2");
  FetchWebPage(T("https://h.test/"), 0, nullptr, &cookies, nullptr, nullptr, nullptr, true);
  EXPECT_EQ(fake.requestFlags, 0x80A80010u);
  EXPECT_EQ(fake.headers, "Referer: https://h.test/" + kDefaultLines + "\r\nCookie: a=1; b=2");
}

TEST_F(FetchWebPageTest, TheAgentAndTheHeaderTextComeFromTheExtraHeaders) {
  const std::string url = "http://h.test/p";
  struct Case {
    const char* note;
    std::string extraHeaders;
    std::optional<std::string> agent;
    std::string sent;
  };
  const Case cases[] = {
      {"a lower-case user-agent line", "user-agent: X", "X",
       "user-agent: X\r\nReferer: " + url + kDefaultLines},
      {"no second Referer", "User-Agent: X\r\nReferer: Y", "X",
       "User-Agent: X\r\nReferer: Y" + kDefaultLines},
      {"an empty agent is passed as no agent", "User-Agent:", std::nullopt,
       "User-Agent:\r\nReferer: " + url + kDefaultLines},
      {"Accept is searched with case", "accept: text/html", kDefaultAgent,
       "accept: text/html\r\nReferer: " + url + kDefaultLines},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.note);
    fake = FakeLayer();
    Text extraHeaders = T(c.extraHeaders);
    FetchWebPage(T(url), 0, nullptr, nullptr, nullptr, &extraHeaders);
    EXPECT_EQ(fake.agent, c.agent);
    EXPECT_EQ(fake.headers, c.sent);
    EXPECT_EQ(fake.headersLength, c.sent.size());
    ExpectText(extraHeaders, c.sent);  // the caller receives the header text sent
  }
}

TEST_F(FetchWebPageTest, TheMethodChoosesTheVerbAndTheBody) {
  struct Case {
    const char* note;
    int32_t method;
    std::string postText;
    std::optional<std::string> postBytes;  // none: left out
    std::string verb;
    std::optional<std::string> optional;  // none: a null pointer
    std::string postBytesAfter;
  };
  const Case cases[] = {
      {"0 sends no body", 0, "a=1", "", "GET", "", ""},
      {"0 leaves postBytes alone", 0, "a=1", "zz", "GET", "", "zz"},
      {"1 with postText", 1, "a=1", std::nullopt, "POST", "a=1", ""},
      {"1 gives the caller the bytes", 1, "a=1", "", "POST", "a=1", "a=1"},
      {"1 with both empty", 1, "", "", "POST", std::nullopt, ""},
      {"postBytes wins", 1, "a=1", std::string("b\0c", 3), "POST", std::string("b\0c", 3),
       std::string("b\0c", 3)},
      {"2 is GET with a body", 2, "q=2", "", "GET", "q=2", "q=2"},
      {"-1 is GET with a body", -1, "q=2", std::nullopt, "GET", "q=2", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.note);
    fake = FakeLayer();
    const Text postText = T(c.postText);
    Bytes postBytes = Bytes::FromBytes(c.postBytes.value_or(""));
    FetchWebPage(T("http://h.test/"), c.method, &postText, nullptr, nullptr, nullptr, nullptr,
                 false, c.postBytes ? &postBytes : nullptr);
    EXPECT_EQ(fake.verb, c.verb);
    EXPECT_EQ(fake.optionalNull, !c.optional.has_value());
    EXPECT_EQ(Shown(fake.optional), Shown(c.optional.value_or("")));
    EXPECT_EQ(fake.optionalLength, c.optional.value_or("").size());
    if (c.postBytes) ExpectBytes(postBytes, c.postBytesAfter);
  }
}

TEST_F(FetchWebPageTest, AProxyIsUsedWhenSuppliedEvenEmpty) {
  struct Case {
    std::string proxy;
    std::string list;
  };
  const Case cases[] = {{"127.0.0.1:3128", "http=127.0.0.1:3128"}, {"", "http="}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.proxy);
    fake = FakeLayer();
    const Text proxy = T(c.proxy);
    FetchWebPage(T("http://h.test/"), 0, nullptr, nullptr, nullptr, nullptr, nullptr, false,
                 nullptr, &proxy);
    EXPECT_EQ(fake.accessType, kInternetOpenTypeProxy);
    EXPECT_EQ(fake.proxy, c.list);
    EXPECT_EQ(fake.proxyBypass, "") << "an empty bypass list, not a null pointer";
  }
}

// The caller's variables, filled with values that no path of the routine would write.
struct CallerVariables {
  Text cookies = T("c=1");
  Text responseCookies = T("r=1");
  Text extraHeaders = T("X-A: 1");
  Text location = T("/was");
  Bytes postBytes;
  Text rawHeaders = T("raw");
  const Text postText = T("p=1");

  Bytes Fetch(const char* url, bool withCookies = true) {
    return FetchWebPage(T(url), 1, &postText, withCookies ? &cookies : nullptr, &responseCookies,
                        &extraHeaders, &location, false, &postBytes, nullptr, &rawHeaders);
  }
  void ExpectUntouched() {
    ExpectText(cookies, "c=1");
    ExpectText(responseCookies, "r=1");
    ExpectText(extraHeaders, "X-A: 1");
    ExpectText(location, "/was");
    ExpectBytes(postBytes, "");
    ExpectText(rawHeaders, "raw");
  }
};

TEST_F(FetchWebPageTest, AHandleNotOpenedReturnsEarlyAndTouchesNothing) {
  struct Case {
    const char* note;
    bool failOpen, failConnect, failRequest;
    std::vector<std::string> calls;
    std::vector<InternetHandle> closed;
  };
  const Case cases[] = {
      {"no session", true, false, false, {"InternetOpenA"}, {}},
      {"no connection",
       false,
       true,
       false,
       {"InternetOpenA", "InternetConnectA", "InternetCloseHandle"},
       {kSession}},
      {"no request",
       false,
       false,
       true,
       {"InternetOpenA", "InternetConnectA", "HttpOpenRequestA", "InternetCloseHandle",
        "InternetCloseHandle"},
       {kConnection, kSession}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.note);
    fake = FakeLayer();
    fake.failOpen = c.failOpen;
    fake.failConnect = c.failConnect;
    fake.failRequest = c.failRequest;
    fake.pieces = {10};
    CallerVariables caller;
    ExpectBytes(caller.Fetch("http://h.test/"), "");
    caller.ExpectUntouched();
    EXPECT_EQ(fake.calls, c.calls);
    EXPECT_EQ(fake.closed, c.closed);
  }
}

TEST_F(FetchWebPageTest, TheBodyIsReadUntilAReadDeliversNothing) {
  struct Case {
    const char* note;
    std::vector<InternetDword> pieces;
  };
  const Case cases[] = {
      {"an empty body takes one read", {}},
      {"a short read does not end the loop", {10, 1024, 3, 1024}},
      {"whole pieces", {1024, 1024}},
      {"many pieces", std::vector<InternetDword>(300, 1000)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.note);
    fake = FakeLayer();
    fake.pieces = c.pieces;
    std::string expected;
    for (std::size_t i = 0; i < c.pieces.size(); ++i) {
      expected.append(c.pieces[i], static_cast<char>('a' + i % 26));
    }
    const Bytes body = FetchWebPage(T("http://h.test/"));
    ExpectBytes(body, expected);
    EXPECT_EQ(fake.reads, static_cast<int>(c.pieces.size()) + 1);
    EXPECT_TRUE(fake.readBuffersFresh);
  }
}

TEST_F(FetchWebPageTest, AFailedReadThatLeavesTheCountEndsTheBody) {
  fake.pieces = {7};
  fake.lastReadWritesCount = false;
  ExpectBytes(FetchWebPage(T("http://h.test/")), "aaaaaaa");
  EXPECT_EQ(fake.reads, 2);
}

TEST_F(FetchWebPageTest, AFailedHeaderQueryLeavesTheSpaces) {
  fake.rawHeaders = std::nullopt;
  fake.pieces = {4};
  CallerVariables caller;
  caller.location = Text();
  ExpectBytes(caller.Fetch("http://h.test/"), "aaaa");
  const std::string spaces(5000, ' ');
  ExpectText(caller.rawHeaders, spaces);
  ExpectText(caller.location, spaces);
  ExpectText(caller.responseCookies, "");
  ExpectText(caller.cookies, "c=1");  // the merge still runs
}

TEST_F(FetchWebPageTest, TheRawHeadersReadUpToTheFirstZeroByte) {
  fake.rawHeaders = std::string("HTTP/1.1 200 OK\r\n\r\n\0garbage", 27);
  Text rawHeaders;
  FetchWebPage(T("http://h.test/"), 0, nullptr, nullptr, nullptr, nullptr, nullptr, false, nullptr,
               nullptr, &rawHeaders);
  ExpectText(rawHeaders, "HTTP/1.1 200 OK\r\n\r\n");
}

TEST_F(FetchWebPageTest, TheResponseHeadersAreDigestedIntoTheCallersVariables) {
  const std::string raw =
      "HTTP/1.1 302 Found\r\nLocation: /next\r\nSet-Cookie: b=20; path=/\r\n"
      "Set-Cookie: c=deleted; HttpOnly\r\nSet-Cookie: d=4 4;\r\n\r\n";
  struct Case {
    const char* note;
    bool withCookies;
    std::string cookiesAfter;
    std::string responseCookies;
  };
  const Case cases[] = {
      {"cookies supplied: merged", true, "b=20; d=44; a=1", "b=20;c=deleted;d=44"},
      {"cookies left out: no merge", false, "a=1; c=3", "b=20; c=deleted; d=4 4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.note);
    fake = FakeLayer();
    fake.rawHeaders = raw;
    fake.pieces = {3};
    CallerVariables caller;
    caller.cookies = T("a=1; c=3");
    ExpectBytes(caller.Fetch("http://h.test/", c.withCookies), "aaa");
    ExpectText(caller.cookies, c.cookiesAfter);
    ExpectText(caller.responseCookies, c.responseCookies);
    ExpectText(caller.location, "/next");
    ExpectText(caller.rawHeaders, raw);
    ExpectBytes(caller.postBytes, "p=1");
    EXPECT_EQ(fake.requestFlags & kInternetFlagNoCookies,
              c.withCookies ? kInternetFlagNoCookies : 0u);
  }
}

TEST_F(FetchWebPageTest, TheLocationFallsBackToTheRawHeaders) {
  const std::string raw = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n";
  struct Case {
    const char* note;
    std::string locationBefore;
    std::string location;
  };
  const Case cases[] = {{"empty on entry", "", raw}, {"a caller's value survives", "/was", "/was"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.note);
    fake = FakeLayer();
    fake.rawHeaders = raw;
    Text location = T(c.locationBefore);
    FetchWebPage(T("http://h.test/"), 0, nullptr, nullptr, nullptr, nullptr, &location);
    ExpectText(location, c.location);
  }
}

TEST_F(FetchWebPageTest, EachFunctionIsBoundOnceForTheRun) {
  int finds = 0;
  static int* findCount;
  findCount = &finds;
  InstallLibraryLoader(LibraryLoader{FakeLoad,
                                     [](void* library, const char* name) {
                                       ++*findCount;
                                       return FakeFind(library, name);
                                     },
                                     FakeRelease});
  FetchWebPage(T("http://h.test/"));
  FetchWebPage(T("http://h.test/"));
  EXPECT_EQ(finds, 7);
  EXPECT_EQ(loads, 1);
  ReleaseBoundLibrary();
  EXPECT_EQ(releases, 1);
  FetchWebPage(T("http://h.test/"));
  EXPECT_EQ(finds, 14) << "a released library is bound anew";
  EXPECT_EQ(loads, 2);
}

}  // namespace
}  // namespace lumaclip
