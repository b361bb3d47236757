// One exchange per redirect hop, each through a request opened with NO_AUTO_REDIRECT, so the layer
// hands back every 3xx answer. Host, port, path and flags come from the same routines that the
// request routine uses, so the first exchange is the request the routine would make.
#include "cli/traced_request.h"

#include <algorithm>
#include <array>

#include "cli/address_resolution.h"
#include "text/values.h"
#include "web/request_headers.h"
#include "web/scoped_internet_handle.h"
#include "web/url_parts.h"
#include "web/wininet_operations.h"

namespace lumaclip::cli {
namespace {

constexpr InternetDword kReadPieceSize = 64 * 1024;
constexpr InternetDword kFirstHeadersBufferSize = 16 * 1024;
constexpr InternetDword kLargestHeadersBufferSize = 1024 * 1024;

using ScopedHandle = ScopedInternetHandle;

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Lower(x) == Lower(y); });
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool IsFollowedRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The raw header text, in a buffer that grows when the layer says it is too small.
std::string QueryRawHeaders(InternetHandle request) {
  InternetDword size = kFirstHeadersBufferSize;
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::string buffer(size, '\0');
    InternetDword length = size;
    if (CallHttpQueryInfoA(request, kHttpQueryRawHeadersCrlf, buffer.data(), &length, nullptr)) {
      buffer.resize(std::min<std::size_t>(buffer.find('\0'), size));
      return buffer;
    }
    if (size >= kLargestHeadersBufferSize) break;
    size = length > size ? std::min(length, kLargestHeadersBufferSize)
                         : std::min(size * 16, kLargestHeadersBufferSize);
  }
  return {};
}

std::string ReadBody(InternetHandle request) {
  std::string body;
  std::string piece(kReadPieceSize, '\0');
  for (;;) {
    InternetDword count = 0;
    CallInternetReadFile(request, piece.data(), kReadPieceSize, &count);
    if (count == 0) break;
    body.append(piece.data(), std::min(count, kReadPieceSize));
  }
  return body;
}

TracedResponse& Failed(TracedResponse& response, std::string reason) {
  response.stopReason = std::move(reason);
  response.rawHeaders.clear();
  response.body.clear();
  response.status = 0;
  return response;
}

// `headers` without the lines named `name` (letter case ignored).
std::string WithoutHeaderLine(std::string_view headers, std::string_view name) {
  std::string kept;
  while (!headers.empty()) {
    const std::size_t end = headers.find("\r\n");
    const std::string_view line = headers.substr(0, end);
    headers = end == std::string_view::npos ? std::string_view() : headers.substr(end + 2);
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos &&
        EqualIgnoringCase(Trimmed(line.substr(0, colon)), name)) {
      continue;
    }
    if (!kept.empty()) kept += "\r\n";
    kept += line;
  }
  return kept;
}

}  // namespace

TracedResponse PerformTracedRequest(const TracedRequest& request) {
  TracedResponse response;
  const Text agent = Text::FromBytes(request.agent);
  const ScopedHandle session(
      CallInternetOpenA(agent.PlatformPointer(), kInternetOpenTypeDirect, nullptr, nullptr, 0));
  std::string current = request.url;
  std::string headerText = request.headerText;
  for (int hop = 0;; ++hop) {
    Exchange exchange{current, {}, 0, {}};
    response.finalUrl = AsWebAddress(current);
    response.rawHeaders.clear();
    response.body.clear();
    response.status = 0;
    if (session.get() == nullptr) {
      response.stopReason = "the request layer opened no session";
      response.exchanges.push_back(std::move(exchange));
      return response;
    }
    const Text url = Text::FromBytes(current);
    const ScopedHandle connection(CallInternetConnectA(
        session.get(), UrlHost(url).PlatformPointer(), static_cast<uint16_t>(UrlPort(url)), nullptr,
        nullptr, kInternetServiceHttp, 0, 0));
    if (connection.get() == nullptr) {
      response.stopReason = "no connection could be opened";
      response.exchanges.push_back(std::move(exchange));
      return response;
    }
    const ScopedHandle handle(
        CallHttpOpenRequestA(connection.get(), request.verb.c_str(), UrlPath(url).PlatformPointer(),
                             "HTTP/1.1", nullptr, nullptr, RequestFlags(url, false, true), 0));
    if (handle.get() == nullptr) {
      response.stopReason = "no request could be opened";
      response.exchanges.push_back(std::move(exchange));
      return response;
    }
    // As the request routine sends a GET: no optional data, given as the empty text.
    char noData[1] = {};
    CallHttpSendRequestA(handle.get(), headerText.c_str(),
                         static_cast<InternetDword>(headerText.size()), noData, 0);
    if (request.readBody) response.body = ReadBody(handle.get());
    response.rawHeaders = QueryRawHeaders(handle.get());
    response.status = StatusCode(response.rawHeaders);
    exchange.statusLine = std::string(StatusLine(response.rawHeaders));
    exchange.status = response.status;
    if (response.status == 0) {
      response.stopReason = "no answer";
      response.body.clear();
      response.exchanges.push_back(std::move(exchange));
      return response;
    }
    const std::optional<std::string> location = HeaderField(response.rawHeaders, "Location");
    if (!IsFollowedRedirect(response.status) || !location) {
      response.exchanges.push_back(std::move(exchange));
      return response;
    }
    const std::optional<std::string> next = ResolveAddress(response.finalUrl, *location);
    if (!next || !IsWebAddress(*next)) {  // another scheme: the 3xx answer is the last
      response.exchanges.push_back(std::move(exchange));
      return response;
    }
    exchange.location = *location;
    response.exchanges.push_back(std::move(exchange));
    const bool secure = EqualIgnoringCase(response.finalUrl.substr(0, 6), "https:");
    if (secure && EqualIgnoringCase(next->substr(0, 5), "http:")) {
      return Failed(response, "a redirect from https to http is refused");
    }
    if (hop == kMaxRedirects) return Failed(response, "more than 10 redirects");
    // As the layer does: after 301, 302 and 303 the request goes on without its body's type.
    if (response.status != 307 && response.status != 308) {
      headerText = WithoutHeaderLine(headerText, "Content-Type");
    }
    current = std::string(WithoutFragment(*next));
  }
}

int StatusCode(std::string_view rawHeaders) {
  const std::string_view line = StatusLine(rawHeaders);
  const std::size_t space = line.find(' ');
  if (space == std::string_view::npos || line.size() < space + 4) return 0;
  int code = 0;
  for (std::size_t i = space + 1; i < space + 4; ++i) {
    if (line[i] < '0' || line[i] > '9') return 0;
    code = code * 10 + (line[i] - '0');
  }
  if (line.size() > space + 4 && line[space + 4] != ' ') return 0;
  return code;
}

std::string_view StatusLine(std::string_view rawHeaders) {
  if (!rawHeaders.starts_with("HTTP/")) return {};
  return rawHeaders.substr(0, rawHeaders.find_first_of("\r\n"));
}

std::optional<std::string> HeaderField(std::string_view rawHeaders, std::string_view name) {
  std::size_t start = rawHeaders.find('\n');  // past the status line
  while (start != std::string_view::npos && start + 1 < rawHeaders.size()) {
    ++start;
    const std::size_t end = rawHeaders.find('\n', start);
    std::string_view line = rawHeaders.substr(
        start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (line.ends_with('\r')) line.remove_suffix(1);
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos &&
        EqualIgnoringCase(Trimmed(line.substr(0, colon)), name)) {
      return std::string(Trimmed(line.substr(colon + 1)));
    }
    start = end;
  }
  return std::nullopt;
}

}  // namespace lumaclip::cli
