// The handle table and the work behind each operation. A send runs the whole redirect chain
// here rather than in libcurl, whose own following differs from WinINet's: the verb and body
// rules per status, https to http refused, other schemes left alone, cookies taken from every hop.
#include "platform/linux/curl_wininet/internet_objects.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/linux/curl_wininet/cookie_jar.h"
#include "platform/linux/curl_wininet/layer_settings.h"
#include "platform/linux/curl_wininet/proxy_rules.h"
#include "platform/linux/curl_wininet/request_headers.h"
#include "platform/linux/curl_wininet/request_target.h"
#include "platform/linux/curl_wininet/transfer.h"

namespace lumaclip::curl_wininet {
namespace {

constexpr int kMostRedirects = 10;

constexpr InternetDword kQueryVersion = 18;
constexpr InternetDword kQueryStatusCode = 19;
constexpr InternetDword kQueryStatusText = 20;
constexpr InternetDword kQueryRawHeaders = 21;
constexpr InternetDword kQueryCustom = 65535;
constexpr InternetDword kQueryFlagRequestHeaders = 0x80000000;
constexpr InternetDword kQueryFlagSystemTime = 0x40000000;
constexpr InternetDword kQueryFlagNumber = 0x20000000;
constexpr InternetDword kQueryModifierMask = 0xF0000000;

// WinINet's numbers for the headers it can be asked for by number.
struct NamedQuery {
  InternetDword level;
  const char* name;
};
constexpr NamedQuery kNamedQueries[] = {
    {1, "Content-Type"},
    {5, "Content-Length"},
    {9, "Date"},
    {10, "Expires"},
    {11, "Last-Modified"},
    {23, "Connection"},
    {29, "Content-Encoding"},
    {33, "Location"},
    {35, "Referer"},
    {37, "Server"},
    {39, "User-Agent"},
    {40, "WWW-Authenticate"},
    {42, "Accept-Ranges"},
    {43, "Set-Cookie"},
    {44, "Cookie"},
    {47, "Content-Disposition"},
    {49, "Cache-Control"},
    {51, "Content-Location"},
    {54, "ETag"},
    {55, "Host"},
    {63, "Transfer-Encoding"},
};

enum class Kind { kSession, kConnection, kRequest };

struct Object {
  explicit Object(Kind kind) : kind(kind) {}
  virtual ~Object() = default;
  virtual void Cancel() {}
  const Kind kind;
  InternetHandle handle = nullptr;
  std::weak_ptr<Object> parent;
  std::mutex childrenMutex;
  std::vector<InternetHandle> children;
};

struct Session : Object {
  Session() : Object(Kind::kSession) {}
  bool hasAgent = false;
  std::string agent;
  ProxyRules proxy;
};

struct Connection : Object {
  Connection() : Object(Kind::kConnection) {}
  std::shared_ptr<Session> session;
  std::string host;
  uint16_t port = 0;
};

enum class ResponseState { kNone, kReceived, kFailed };

struct Request : Object {
  Request() : Object(Kind::kRequest) {}

  void Cancel() override {
    cancelled = true;
    std::lock_guard<std::mutex> lock(transferMutex);
    if (transfer) transfer->Wake();
  }

  std::shared_ptr<Connection> connection;
  std::string verb;
  std::string path;
  bool http10 = false;
  InternetDword flags = 0;
  RequestHeaders openFields;  // from HttpOpenRequestA: Referer, Accept

  std::mutex mutex;  // one operation at a time
  std::atomic<bool> cancelled{false};
  std::string body;
  std::string sentHeaders;  // the last hop's request block
  ResponseState state = ResponseState::kNone;
  std::mutex transferMutex;
  std::unique_ptr<Transfer> transfer;

  void ReplaceTransfer(std::unique_ptr<Transfer> next) {
    std::unique_ptr<Transfer> previous;
    {
      std::lock_guard<std::mutex> lock(transferMutex);
      previous = std::move(transfer);
      transfer = std::move(next);
    }
  }
};

// The table of live handles. Numbers are never reused within a run.
class HandleTable {
 public:
  InternetHandle Add(std::shared_ptr<Object> object) {
    std::lock_guard<std::mutex> lock(mutex_);
    const uintptr_t number = kFirstHandle + 4 * next_++;
    object->handle = reinterpret_cast<InternetHandle>(number);
    objects_.emplace(number, std::move(object));
    return reinterpret_cast<InternetHandle>(number);
  }

  template <typename T>
  std::shared_ptr<T> Find(InternetHandle handle, Kind kind) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = objects_.find(reinterpret_cast<uintptr_t>(handle));
    if (found == objects_.end() || found->second->kind != kind) return nullptr;
    return std::static_pointer_cast<T>(found->second);
  }

  std::shared_ptr<Object> Remove(InternetHandle handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = objects_.find(reinterpret_cast<uintptr_t>(handle));
    if (found == objects_.end()) return nullptr;
    std::shared_ptr<Object> object = std::move(found->second);
    objects_.erase(found);
    return object;
  }

 private:
  static constexpr uintptr_t kFirstHandle = 0xCC0004;
  std::mutex mutex_;
  std::unordered_map<uintptr_t, std::shared_ptr<Object>> objects_;
  uintptr_t next_ = 0;
};

HandleTable& Handles() {
  // Never destroyed: a handle may still be closed while the process exits.
  static HandleTable* table = new HandleTable;
  return *table;
}

InternetHandle AddChild(const std::shared_ptr<Object>& parent, std::shared_ptr<Object> child) {
  child->parent = parent;
  const InternetHandle handle = Handles().Add(std::move(child));
  std::lock_guard<std::mutex> lock(parent->childrenMutex);
  parent->children.push_back(handle);
  return handle;
}

std::string OptionalText(const char* text) {
  return text == nullptr ? std::string() : text;
}

bool IsToken(std::string_view text) {
  static constexpr std::string_view kSeparators = "()<>@,;:\\\"/[]?={} \t";
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte > 0x20 && byte < 0x7F && kSeparators.find(c) == std::string_view::npos;
  });
}

bool IsRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string ResponseHeaderValue(const ResponseHead& head, std::string_view name) {
  for (const std::string& line : head.lines) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string_view lineName = std::string_view(line).substr(0, colon);
    while (!lineName.empty() && lineName.back() == ' ') lineName.remove_suffix(1);
    if (!SameHeaderName(lineName, name)) continue;
    std::string_view value = std::string_view(line).substr(colon + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
      value.remove_prefix(1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
    return std::string(value);
  }
  return {};
}

void StoreCookies(const ResponseHead& head, const RequestTarget& target) {
  const std::time_t now = std::time(nullptr);
  for (const std::string& line : head.lines) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string_view name = std::string_view(line).substr(0, colon);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    if (!SameHeaderName(name, "Set-Cookie")) continue;
    std::string_view value = std::string_view(line).substr(colon + 1);
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    SharedCookieJar().Store(target.host, target.path, value, now);
  }
}

// Writes `text` and its zero byte when they fit; otherwise only tells the size needed.
bool CopyText(std::string_view text, void* buffer, InternetDword* bufferLength) {
  const size_t needed = text.size() + 1;
  if (buffer == nullptr || *bufferLength < needed) {
    *bufferLength = static_cast<InternetDword>(std::min<size_t>(needed, UINT32_MAX));
    return false;
  }
  std::memcpy(buffer, text.data(), text.size());
  static_cast<char*>(buffer)[text.size()] = '\0';
  *bufferLength = static_cast<InternetDword>(text.size());
  return true;
}

std::string RawHeaders(const ResponseHead& head, std::string_view lineEnd) {
  std::string raw = head.statusLine;
  raw.append(lineEnd);
  for (const std::string& line : head.lines) raw.append(line).append(lineEnd);
  raw.append(lineEnd);
  return raw;
}

// Everything a request sends on one hop.
class HopPlanner {
 public:
  HopPlanner(Request& request, const Session& session, RequestHeaders fields)
      : request_(request), session_(session), fields_(std::move(fields)) {}

  Hop Plan(const RequestTarget& target, bool withBody) {
    Hop hop;
    hop.target = target;
    hop.verb = request_.verb;
    hop.http10 = request_.http10;
    hop.settings = ReadLayerSettings();
    hop.proxy = ProxyFor(session_.proxy, target.secure, target.host);
    hop.body = withBody ? &request_.body : nullptr;
    RequestHeaders fields = fields_;
    if (!(request_.flags & kInternetFlagNoCookies)) {
      const std::string cookies =
          SharedCookieJar().CookieLine(target.host, target.path, target.secure, std::time(nullptr));
      if (!cookies.empty()) fields.Replace("Cookie", cookies);
    }
    hop.fields = fields.Fields();
    request_.sentHeaders = RequestHeaderBlock(
        hop.verb, target.path, request_.http10 ? "HTTP/1.0" : "HTTP/1.1", hop.fields);
    return hop;
  }

  RequestHeaders& Fields() { return fields_; }

 private:
  Request& request_;
  const Session& session_;
  RequestHeaders fields_;
};

bool Send(Request& request, std::string_view callerHeaders) {
  const Connection& connection = *request.connection;
  const Session& session = *connection.session;
  const bool secure = (request.flags & kInternetFlagSecure) != 0;
  RequestTarget target;
  target.secure = secure;
  target.host = connection.host;
  target.port = connection.port != 0 ? connection.port : DefaultPort(secure);
  target.path = request.path;

  if (request.verb == "HEAD") request.body.clear();
  RequestHeaders fields = request.openFields;
  fields.AddIfNew("Host", HostHeaderValue(target));
  if (!request.body.empty() || request.verb != "GET") {
    fields.AddIfNew("Content-Length", std::to_string(request.body.size()));
  }
  if (session.hasAgent) {
    ForEachHeaderLine(
        "User-Agent: " + session.agent,
        [&](std::string_view name, std::string_view value) { fields.AddIfNew(name, value); });
  }
  // The framing of the body stays the layer's: a caller's length or transfer coding could only
  // desynchronise the connection.
  ForEachHeaderLine(callerHeaders, [&](std::string_view name, std::string_view value) {
    if (SameHeaderName(name, "Content-Length") || SameHeaderName(name, "Transfer-Encoding")) return;
    fields.Replace(name, value);
  });

  HopPlanner planner(request, session, std::move(fields));
  bool withBody = !request.body.empty();
  for (int redirects = 0;; ++redirects) {
    auto transfer = std::make_unique<Transfer>();
    Transfer* hopTransfer = transfer.get();
    request.ReplaceTransfer(std::move(transfer));
    if (!hopTransfer->Start(planner.Plan(target, withBody), request.cancelled)) return false;
    const ResponseHead& head = hopTransfer->Head();
    if (!(request.flags & kInternetFlagNoCookies)) StoreCookies(head, target);

    if ((request.flags & kInternetFlagNoAutoRedirect) || !IsRedirect(head.status)) return true;
    const std::string location = ResponseHeaderValue(head, "Location");
    const ResolvedLocation next = ResolveLocation(target, location);
    if (next.kind != LocationKind::kFollow) return true;
    if (target.secure && !next.target.secure &&
        !(request.flags & kInternetFlagIgnoreRedirectToHttp)) {
      return false;  // https to http is refused, as WinINet does by default
    }
    if (redirects == kMostRedirects) return false;

    if (head.status != 307 && head.status != 308) {
      if (request.verb != "GET" && request.verb != "HEAD") request.verb = "GET";
      withBody = false;
      planner.Fields().Remove("Content-Length");
      planner.Fields().Remove("Content-Type");
    }
    if (next.target.host != target.host || next.target.port != target.port ||
        next.target.secure != target.secure) {
      planner.Fields().Set("Host", HostHeaderValue(next.target));
    }
    hopTransfer->Drain();
    target = next.target;
  }
}

}  // namespace

InternetHandle OpenSession(const char* agent, InternetDword accessType, const char* proxy,
                           const char* proxyBypass, InternetDword flags) {
  auto session = std::make_shared<Session>();
  session->hasAgent = agent != nullptr;
  session->agent = OptionalText(agent);
  // Preconfigured access would read the system's settings; on this system there are none, and the
  // environment's proxy variables are not WinINet's.
  if (accessType == kInternetOpenTypeProxy) {
    session->proxy = ParseProxyRules(OptionalText(proxy), OptionalText(proxyBypass));
  }
  return Handles().Add(std::move(session));
}

InternetHandle OpenConnection(InternetHandle sessionHandle, const char* serverName,
                              uint16_t serverPort, InternetDword service) {
  auto session = Handles().Find<Session>(sessionHandle, Kind::kSession);
  if (!session || serverName == nullptr || serverName[0] == '\0' ||
      service != kInternetServiceHttp) {
    return nullptr;
  }
  auto connection = std::make_shared<Connection>();
  connection->session = session;
  connection->host = serverName;
  connection->port = serverPort;
  return AddChild(session, std::move(connection));
}

InternetHandle OpenRequest(InternetHandle connectionHandle, const char* verb,
                           const char* objectName, const char* version, const char* referrer,
                           const char** acceptTypes, InternetDword flags) {
  auto connection = Handles().Find<Connection>(connectionHandle, Kind::kConnection);
  if (!connection) return nullptr;
  auto request = std::make_shared<Request>();
  request->connection = connection;
  request->verb = (verb != nullptr && verb[0] != '\0') ? verb : "GET";
  if (!IsToken(request->verb)) return nullptr;
  request->path = RequestPathFromObjectName(OptionalText(objectName));
  request->http10 = version != nullptr && std::strcmp(version, "HTTP/1.0") == 0;
  request->flags = flags;
  if (referrer != nullptr && referrer[0] != '\0') {
    ForEachHeaderLine(std::string("Referer: ") + referrer,
                      [&](std::string_view name, std::string_view value) {
                        request->openFields.AddIfNew(name, value);
                      });
  }
  if (acceptTypes != nullptr) {
    std::string accept;
    for (const char** type = acceptTypes; *type != nullptr; ++type) {
      if ((*type)[0] == '\0') continue;
      if (!accept.empty()) accept += ", ";
      accept += *type;
    }
    if (!accept.empty()) {
      ForEachHeaderLine("Accept: " + accept, [&](std::string_view name, std::string_view value) {
        request->openFields.AddIfNew(name, value);
      });
    }
  }
  return AddChild(connection, std::move(request));
}

bool SendRequest(InternetHandle requestHandle, const char* headers, InternetDword headersLength,
                 const void* optional, InternetDword optionalLength) {
  auto request = Handles().Find<Request>(requestHandle, Kind::kRequest);
  if (!request) return false;
  if (optional == nullptr && optionalLength != 0) return false;
  std::lock_guard<std::mutex> lock(request->mutex);
  std::string_view callerHeaders;
  if (headers != nullptr) {
    callerHeaders = headersLength == UINT32_MAX ? std::string_view(headers)
                                                : std::string_view(headers, headersLength);
    callerHeaders = callerHeaders.substr(0, callerHeaders.find('\0'));
  }
  request->body.assign(static_cast<const char*>(optional), optionalLength);
  request->state = ResponseState::kNone;
  const bool sent = Send(*request, callerHeaders);
  if (!sent) request->ReplaceTransfer(nullptr);
  request->state = sent ? ResponseState::kReceived : ResponseState::kFailed;
  return sent;
}

bool ReadResponse(InternetHandle requestHandle, void* buffer, InternetDword bytesToRead,
                  InternetDword* bytesRead) {
  if (bytesRead == nullptr) return false;
  *bytesRead = 0;
  auto request = Handles().Find<Request>(requestHandle, Kind::kRequest);
  if (!request || (buffer == nullptr && bytesToRead != 0)) return false;
  std::lock_guard<std::mutex> lock(request->mutex);
  if (request->state != ResponseState::kReceived || !request->transfer) return false;
  const size_t read =
      request->transfer->Read(static_cast<char*>(buffer), bytesToRead, request->cancelled);
  *bytesRead = static_cast<InternetDword>(read);
  return read > 0 || !request->transfer->Failed();
}

bool QueryResponse(InternetHandle requestHandle, InternetDword infoLevel, void* buffer,
                   InternetDword* bufferLength, InternetDword* index) {
  auto request = Handles().Find<Request>(requestHandle, Kind::kRequest);
  if (!request || bufferLength == nullptr) return false;
  std::lock_guard<std::mutex> lock(request->mutex);
  const InternetDword level = infoLevel & ~kQueryModifierMask;
  if (infoLevel & kQueryFlagSystemTime) return false;

  if (infoLevel & kQueryFlagRequestHeaders) {
    if (request->sentHeaders.empty()) return false;
    if (level == kHttpQueryRawHeadersCrlf)
      return CopyText(request->sentHeaders, buffer, bufferLength);
    return false;
  }
  if (request->state != ResponseState::kReceived || !request->transfer) return false;
  const ResponseHead& head = request->transfer->Head();

  switch (level) {
    case kHttpQueryRawHeadersCrlf:
      return CopyText(RawHeaders(head, "\r\n"), buffer, bufferLength);
    case kQueryRawHeaders: {
      // Lines ended by zero bytes, the block by a second one.
      std::string raw = RawHeaders(head, std::string_view("\0", 1));
      raw.pop_back();
      return CopyText(raw, buffer, bufferLength);
    }
    case kQueryVersion:
      return CopyText(std::string_view(head.statusLine).substr(0, head.statusLine.find(' ')),
                      buffer, bufferLength);
    case kQueryStatusCode:
      if (infoLevel & kQueryFlagNumber) {
        if (buffer == nullptr || *bufferLength < sizeof(InternetDword)) {
          *bufferLength = sizeof(InternetDword);
          return false;
        }
        const InternetDword status = static_cast<InternetDword>(head.status);
        std::memcpy(buffer, &status, sizeof status);
        *bufferLength = sizeof(InternetDword);
        return true;
      }
      return CopyText(std::to_string(head.status), buffer, bufferLength);
    case kQueryStatusText: {
      const std::string_view line(head.statusLine);
      const size_t space = line.find(' ');
      const size_t second = space == std::string_view::npos ? space : line.find(' ', space + 1);
      return CopyText(
          second == std::string_view::npos ? std::string_view() : line.substr(second + 1), buffer,
          bufferLength);
    }
    default:
      break;
  }

  std::string name;
  if (level == kQueryCustom) {
    if (buffer == nullptr) return false;
    name.assign(static_cast<const char*>(buffer),
                strnlen(static_cast<const char*>(buffer), *bufferLength));
  } else {
    for (const NamedQuery& query : kNamedQueries) {
      if (query.level == level) name = query.name;
    }
  }
  if (name.empty()) return false;
  InternetDword wanted = index != nullptr ? *index : 0;
  for (const std::string& line : head.lines) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string_view lineName = std::string_view(line).substr(0, colon);
    while (!lineName.empty() && lineName.back() == ' ') lineName.remove_suffix(1);
    if (!SameHeaderName(lineName, name)) continue;
    if (wanted-- != 0) continue;
    std::string_view value = std::string_view(line).substr(colon + 1);
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
    bool copied = false;
    if (infoLevel & kQueryFlagNumber) {
      if (buffer == nullptr || *bufferLength < sizeof(InternetDword)) {
        *bufferLength = sizeof(InternetDword);
        return false;
      }
      uint64_t number = 0;
      for (char c : value) {
        if (c < '0' || c > '9') break;
        number = std::min<uint64_t>(number * 10 + static_cast<uint64_t>(c - '0'), UINT32_MAX);
      }
      const InternetDword dword = static_cast<InternetDword>(number);
      std::memcpy(buffer, &dword, sizeof dword);
      *bufferLength = sizeof(InternetDword);
      copied = true;
    } else {
      copied = CopyText(value, buffer, bufferLength);
    }
    if (copied && index != nullptr) ++*index;
    return copied;
  }
  return false;
}

bool CloseInternetHandle(InternetHandle handle) {
  std::shared_ptr<Object> object = Handles().Remove(handle);
  if (!object) return false;
  object->Cancel();
  if (std::shared_ptr<Object> parent = object->parent.lock()) {
    std::lock_guard<std::mutex> lock(parent->childrenMutex);
    std::erase(parent->children, handle);
  }
  std::vector<InternetHandle> children;
  {
    std::lock_guard<std::mutex> lock(object->childrenMutex);
    children.swap(object->children);
  }
  for (InternetHandle child : children) CloseInternetHandle(child);
  return true;
}

}  // namespace lumaclip::curl_wininet
