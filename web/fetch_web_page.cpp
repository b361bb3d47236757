// The one network routine: opens a session, a connection and a request through the WinINet
// operations, sends the completed header text, reads the body and the raw headers, closes the
// handles, and only then digests the header text.
#include "web/fetch_web_page.h"

#include <algorithm>
#include <string_view>

#include "text/operations.h"
#include "web/cookies.h"
#include "web/request_headers.h"
#include "web/response_headers.h"
#include "web/scoped_internet_handle.h"
#include "web/url_parts.h"
#include "web/wininet_operations.h"

namespace lumaclip {
namespace {

constexpr InternetDword kReadPieceSize = 1024;
constexpr int32_t kRawHeadersBufferSize = 5000;  // the terminating zero included

}  // namespace

Bytes FetchWebPage(const Text& url, int32_t method, const Text* postText, Text* cookies,
                   Text* responseCookies, Text* extraHeaders, Text* location, bool noRedirect,
                   Bytes* postBytes, const Text* proxy, Text* rawHeaders) {
  // A by-reference argument left out is a fresh empty variable that is discarded afterwards.
  Text ownPostText, ownCookies, ownResponseCookies, ownExtraHeaders, ownLocation, ownProxy,
      ownRawHeaders;
  Bytes ownPostBytes;
  const bool cookiesSupplied = cookies != nullptr;
  const bool proxySupplied = proxy != nullptr;
  const Text& postTextValue = postText ? *postText : ownPostText;
  Text& cookiesValue = cookies ? *cookies : ownCookies;
  Text& responseCookiesValue = responseCookies ? *responseCookies : ownResponseCookies;
  Text& headers = extraHeaders ? *extraHeaders : ownExtraHeaders;
  Text& locationValue = location ? *location : ownLocation;
  Bytes& postBytesValue = postBytes ? *postBytes : ownPostBytes;
  const Text& proxyValue = proxy ? *proxy : ownProxy;
  Text& rawHeadersValue = rawHeaders ? *rawHeaders : ownRawHeaders;

  const Text verb = method == 1 ? Text::Literal("POST") : Text::Literal("GET");
  const Text agent = RequestAgent(headers);

  Bytes body;
  {
    InternetHandle sessionHandle = nullptr;
    if (proxySupplied) {
      const Text proxyList = ConcatText(Text::Literal("http="), proxyValue);
      sessionHandle =
          CallInternetOpenA(agent.PlatformPointer(), kInternetOpenTypeProxy,
                            proxyList.PlatformPointer(), Text::Literal("").PlatformPointer(), 0);
    } else {
      sessionHandle =
          CallInternetOpenA(agent.PlatformPointer(), kInternetOpenTypeDirect, nullptr, nullptr, 0);
    }
    const ScopedInternetHandle session(sessionHandle);
    if (session.get() == nullptr) return Bytes();

    // The port travels as the 16-bit value the operation takes.
    const ScopedInternetHandle connection(CallInternetConnectA(
        session.get(), UrlHost(url).PlatformPointer(), static_cast<uint16_t>(UrlPort(url)), nullptr,
        nullptr, kInternetServiceHttp, 0, 0));
    if (connection.get() == nullptr) return Bytes();

    const InternetDword flags = RequestFlags(url, cookiesSupplied, noRedirect);
    const ScopedInternetHandle request(CallHttpOpenRequestA(
        connection.get(), verb.PlatformPointer(), UrlPath(url).PlatformPointer(), "HTTP/1.1",
        nullptr, nullptr, flags, 0));
    if (request.get() == nullptr) return Bytes();
    // Up to here no variable of the caller has been changed.

    CompleteRequestHeaders(headers, url, cookiesValue);
    const InternetDword headersLength = static_cast<InternetDword>(TextLength(headers));
    if (method == 0) {
      // The empty text, present: a pointer to a zero byte, length 0.
      CallHttpSendRequestA(request.get(), headers.PlatformPointer(), headersLength,
                           const_cast<char*>(Text::Literal("").PlatformPointer()), 0);
    } else {
      if (BytesEqual(postBytesValue, Bytes::EmptyConstant())) {
        postBytesValue = TextToBytes(postTextValue);
      }
      CallHttpSendRequestA(request.get(), headers.PlatformPointer(), headersLength,
                           const_cast<char*>(postBytesValue.PlatformPointer()),
                           static_cast<InternetDword>(BytesLength(postBytesValue)));
    }

    for (;;) {
      Bytes buffer = BlankBytes(static_cast<int32_t>(kReadPieceSize));
      // A layer that fails a read without writing the count must still end the loop.
      InternetDword count = 0;
      CallInternetReadFile(request.get(), buffer.MutableData(), kReadPieceSize, &count);
      if (count == 0) break;
      body.Append(std::string_view(buffer.MutableData(), std::min(count, kReadPieceSize)));
    }

    // The 5000 spaces are the buffer; what the query leaves in it reads up to the first zero.
    rawHeadersValue = Text::OwnedBlank(kRawHeadersBufferSize);
    InternetDword bufferLength = kRawHeadersBufferSize;
    CallHttpQueryInfoA(request.get(), kHttpQueryRawHeadersCrlf, rawHeadersValue.MutableData(),
                       &bufferLength, nullptr);
    rawHeadersValue =
        Text::FromBytes(std::string_view(rawHeadersValue.CString(), kRawHeadersBufferSize));
  }  // closes the request, then the connection, then the session

  ScanResponseHeaders(rawHeadersValue, locationValue, responseCookiesValue);
  if (cookiesSupplied) {
    MergeCookies(cookiesValue, responseCookiesValue);
  }
  LocationFallback(locationValue, rawHeadersValue);
  return body;
}

}  // namespace lumaclip
