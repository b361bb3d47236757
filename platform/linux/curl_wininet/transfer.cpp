// The libcurl side of a hop: the header list handed over whole (with libcurl's own lines switched
// off), the response head collected from the header callback, and the body kept in a bounded
// buffer that pauses the transfer when the reader falls behind.
#include "platform/linux/curl_wininet/transfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>

namespace lumaclip::curl_wininet {

struct Transport {
  CURLM* multi = nullptr;
  CURL* easy = nullptr;
  std::string origin;

  Transport() : multi(curl_multi_init()), easy(curl_easy_init()) {}
  ~Transport() {
    if (easy != nullptr) curl_easy_cleanup(easy);
    if (multi != nullptr) curl_multi_cleanup(multi);
  }
};

struct Transfer::Lists {
  curl_slist* headers = nullptr;
  curl_slist* proxyHeaders = nullptr;
  curl_slist* resolve = nullptr;
  ~Lists() {
    curl_slist_free_all(headers);
    curl_slist_free_all(proxyHeaders);
    curl_slist_free_all(resolve);
  }
};

namespace {

constexpr size_t kPendingLimit = 256 * 1024;
constexpr size_t kMaxHeaderBytes = 1024 * 1024;
constexpr size_t kDrainLimit = 64 * 1024;
constexpr long kBufferSize = 128 * 1024;
constexpr long kConnectGraceMs = 1000;
constexpr size_t kIdleTransports = 8;

// Header names libcurl would add by itself; each one the request does not carry is switched off.
constexpr const char* kLibraryHeaders[] = {"Host",
                                           "Accept",
                                           "Expect",
                                           "Content-Type",
                                           "Content-Length",
                                           "Proxy-Connection",
                                           "Transfer-Encoding",
                                           "Accept-Encoding",
                                           "User-Agent",
                                           "Referer",
                                           "Cookie"};

void InitialiseLibraryOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

class TransportPool {
 public:
  std::unique_ptr<Transport> Take(const std::string& origin) {
    std::unique_ptr<Transport> transport;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto match = std::find_if(idle_.rbegin(), idle_.rend(),
                                [&](const auto& candidate) { return candidate->origin == origin; });
      if (match == idle_.rend() && !idle_.empty()) match = idle_.rbegin();
      if (match != idle_.rend()) {
        transport = std::move(*match);
        idle_.erase(std::next(match).base());
      }
    }
    if (!transport) transport = std::make_unique<Transport>();
    if (transport->multi == nullptr || transport->easy == nullptr) return nullptr;
    return transport;
  }

  void Give(std::unique_ptr<Transport> transport) {
    std::unique_ptr<Transport> dropped;
    std::lock_guard<std::mutex> lock(mutex_);
    if (idle_.size() >= kIdleTransports) {
      dropped = std::move(idle_.front());
      idle_.erase(idle_.begin());
    }
    idle_.push_back(std::move(transport));
  }

 private:
  std::mutex mutex_;
  std::vector<std::unique_ptr<Transport>> idle_;
};

TransportPool& Pool() {
  // Never destroyed: the exit of the process closes what it still holds.
  static TransportPool* pool = new TransportPool;
  return *pool;
}

std::string HeaderLine(const HeaderField& field) {
  // libcurl sends a field written "Name;" as "Name:" with nothing after it.
  if (field.value.empty()) return field.name + ";";
  return field.name + ": " + field.value;
}

int StatusOf(std::string_view statusLine) {
  const size_t space = statusLine.find(' ');
  if (space == std::string_view::npos || statusLine.size() < space + 4) return 0;
  int status = 0;
  for (size_t i = space + 1; i < space + 4; ++i) {
    if (statusLine[i] < '0' || statusLine[i] > '9') return 0;
    status = status * 10 + (statusLine[i] - '0');
  }
  return status;
}

}  // namespace

// libcurl's callbacks, with libcurl's own argument types.
struct TransferCallbacks {
  static size_t OnHeader(char* data, size_t size, size_t count, void* self) {
    const size_t bytes = size * count;
    return static_cast<Transfer*>(self)->TakeHeaderLine(std::string_view(data, bytes)) ? bytes : 0;
  }
  static size_t OnBody(char* data, size_t size, size_t count, void* self) {
    return static_cast<Transfer*>(self)->TakeBody(data, size * count);
  }
  static int OnConnected(void* self, char*, char*, int, int) {
    auto* transfer = static_cast<Transfer*>(self);
    transfer->connected_ = true;
    transfer->lastActivity_ = Transfer::Clock::now();
    return CURL_PREREQFUNC_OK;
  }
  static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded) {
    auto* transfer = static_cast<Transfer*>(self);
    if (uploaded != transfer->uploaded_) {
      transfer->uploaded_ = uploaded;
      transfer->lastActivity_ = Transfer::Clock::now();
    }
    return 0;
  }
};

Transfer::Transfer() : lists_(std::make_unique<Lists>()) {}

Transfer::~Transfer() {
  Finish();
}

bool Transfer::Start(const Hop& hop, const std::atomic<bool>& cancelled) {
  InitialiseLibraryOnce();
  const std::string& connectHost = hop.proxy ? hop.proxy->host : hop.target.host;
  const unsigned connectPort = hop.proxy ? hop.proxy->port : hop.target.port;
  if (!IsReachableHostName(hop.target.host) ||
      !MayResolve(hop.settings, connectHost, connectPort)) {
    failed_ = true;
    return false;
  }

  const std::string origin = OriginUrl(hop.target);
  const std::string poolKey =
      hop.proxy ? origin + " via " + hop.proxy->host + ":" + std::to_string(hop.proxy->port)
                : origin;
  {
    std::unique_ptr<Transport> transport = Pool().Take(poolKey);
    std::lock_guard<std::mutex> lock(wakeMutex_);
    transport_ = std::move(transport);
  }
  if (!transport_) {
    failed_ = true;
    return false;
  }
  CURL* easy = transport_->easy;
  curl_easy_reset(easy);
  transport_->origin = poolKey;

  for (const HeaderField& field : hop.fields) {
    lists_->headers = curl_slist_append(lists_->headers, HeaderLine(field).c_str());
  }
  for (const char* name : kLibraryHeaders) {
    const bool carried =
        std::any_of(hop.fields.begin(), hop.fields.end(),
                    [&](const HeaderField& field) { return SameHeaderName(field.name, name); });
    if (!carried)
      lists_->headers = curl_slist_append(lists_->headers, (std::string(name) + ":").c_str());
  }
  lists_->proxyHeaders = curl_slist_append(lists_->proxyHeaders, "Proxy-Connection:");
  for (const std::string& entry : hop.settings.resolve) {
    lists_->resolve = curl_slist_append(lists_->resolve, entry.c_str());
  }

  // Without a proxy the request target goes out exactly as given; through a proxy libcurl writes
  // the absolute form from the URL.
  url_ = origin + (hop.proxy ? hop.target.path : std::string("/"));
  curl_easy_setopt(easy, CURLOPT_URL, url_.c_str());
  if (!hop.proxy) {
    requestTarget_ = hop.target.path;
    curl_easy_setopt(easy, CURLOPT_REQUEST_TARGET, requestTarget_.c_str());
  }
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION,
                   hop.http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
  proxyUrl_ =
      hop.proxy ? "http://" +
                      (hop.proxy->host.find(':') != std::string::npos ? "[" + hop.proxy->host + "]"
                                                                      : hop.proxy->host) +
                      ":" + std::to_string(hop.proxy->port)
                : std::string();
  // An empty proxy also keeps libcurl from reading the environment's proxy variables.
  curl_easy_setopt(easy, CURLOPT_PROXY, proxyUrl_.c_str());
  curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(easy, CURLOPT_HEADEROPT, static_cast<long>(CURLHEADER_SEPARATE));
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, lists_->headers);
  curl_easy_setopt(easy, CURLOPT_PROXYHEADER, lists_->proxyHeaders);
  if (lists_->resolve != nullptr) curl_easy_setopt(easy, CURLOPT_RESOLVE, lists_->resolve);

  if (hop.body != nullptr) {
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(hop.body->size()));
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, hop.body->data());
    if (hop.verb != "POST") curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, hop.verb.c_str());
  } else if (hop.verb == "HEAD") {
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
  } else if (hop.verb == "POST") {
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(0));
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, "");
  } else {
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    if (hop.verb != "GET") curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, hop.verb.c_str());
  }

  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, hop.settings.connectTimeoutMs);
  stallTimeoutMs_ = hop.settings.stallTimeoutMs;
  connectTimeoutMs_ = hop.settings.connectTimeoutMs;
  curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, 0L);
  curl_easy_setopt(easy, CURLOPT_HTTP_TRANSFER_DECODING, 1L);
  curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kBufferSize);
  if (!hop.settings.caFile.empty())
    curl_easy_setopt(easy, CURLOPT_CAINFO, hop.settings.caFile.c_str());
  if (!hop.settings.caDirectory.empty()) {
    curl_easy_setopt(easy, CURLOPT_CAPATH, hop.settings.caDirectory.c_str());
  }
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &TransferCallbacks::OnHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &TransferCallbacks::OnBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &TransferCallbacks::OnConnected);
  curl_easy_setopt(easy, CURLOPT_PREREQDATA, this);
  curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &TransferCallbacks::OnProgress);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);

  lastActivity_ = Clock::now();
  if (curl_multi_add_handle(transport_->multi, easy) != CURLM_OK) {
    failed_ = true;
    done_ = true;
    return false;
  }
  Pump([this] { return headState_ == HeadState::kComplete; }, cancelled);
  return headState_ == HeadState::kComplete;
}

size_t Transfer::Read(char* out, size_t size, const std::atomic<bool>& cancelled) {
  size_t copied = 0;
  while (copied < size) {
    if (Buffered() > 0) {
      const size_t count = std::min(size - copied, Buffered());
      std::memcpy(out + copied, pending_.data() + pendingBegin_, count);
      pendingBegin_ += count;
      copied += count;
      continue;
    }
    if (done_) break;
    Pump([this] { return Buffered() > 0; }, cancelled);
  }
  return copied;
}

void Transfer::Drain() {
  if (!transport_) return;
  discarding_ = true;
  pending_.clear();
  pendingBegin_ = 0;
  // Only what is already on its way: a body that takes longer is not waited for.
  for (int round = 0; round < 4 && !done_; ++round) {
    if (paused_) Resume();
    int running = 0;
    if (curl_multi_perform(transport_->multi, &running) != CURLM_OK) break;
    CollectDone();
    if (!done_) curl_multi_poll(transport_->multi, nullptr, 0, 5, nullptr);
  }
  Finish();
}

void Transfer::Finish() {
  if (!transport_) return;
  curl_multi_remove_handle(transport_->multi, transport_->easy);
  std::unique_ptr<Transport> transport;
  {
    std::lock_guard<std::mutex> lock(wakeMutex_);
    transport = std::move(transport_);
  }
  if (!done_) failed_ = true;
  done_ = true;
  Pool().Give(std::move(transport));
}

void Transfer::Wake() {
  std::lock_guard<std::mutex> lock(wakeMutex_);
  if (transport_) curl_multi_wakeup(transport_->multi);
}

template <typename Satisfied>
void Transfer::Pump(const Satisfied& satisfied, const std::atomic<bool>& cancelled) {
  while (!done_ && !satisfied()) {
    if (cancelled) {
      Abort();
      return;
    }
    if (paused_ && Buffered() < kPendingLimit) Resume();
    int running = 0;
    if (curl_multi_perform(transport_->multi, &running) != CURLM_OK) {
      Abort();
      return;
    }
    CollectDone();
    if (done_ || satisfied()) return;
    long waitMs = 1000;
    // Connected: the stall time-out. Not yet connected: libcurl bounds that phase itself, and this
    // backstop (its time-out and a grace second) keeps a request from waiting for ever should a
    // connection never reach the point where the request goes out.
    const long limitMs = connected_ ? stallTimeoutMs_ : connectTimeoutMs_ + kConnectGraceMs;
    if (!connected_ || !paused_) {
      const long idleMs = static_cast<long>(
          std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastActivity_)
              .count());
      if (idleMs >= limitMs) {
        Abort();
        return;
      }
      waitMs = std::min(waitMs, limitMs - idleMs);
    }
    curl_multi_poll(transport_->multi, nullptr, 0, static_cast<int>(std::max(waitMs, 1L)), nullptr);
  }
}

void Transfer::CollectDone() {
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(transport_->multi, &left)) {
    if (message->msg != CURLMSG_DONE) continue;
    done_ = true;
    if (message->data.result != CURLE_OK) failed_ = true;
  }
}

void Transfer::Resume() {
  paused_ = false;
  lastActivity_ = Clock::now();
  curl_easy_pause(transport_->easy, CURLPAUSE_CONT);
}

void Transfer::Abort() {
  done_ = true;
  failed_ = true;
}

bool Transfer::TakeHeaderLine(std::string_view line) {
  lastActivity_ = Clock::now();
  if (headState_ == HeadState::kComplete) return true;  // trailers of a chunked body
  headerBytes_ += line.size();
  if (headerBytes_ > kMaxHeaderBytes) return false;
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (line.starts_with("HTTP/")) {
    head_ = ResponseHead{};
    head_.statusLine = std::string(line);
    head_.status = StatusOf(line);
    headState_ = HeadState::kReading;
  } else if (line.empty()) {
    // An interim 1xx response is followed by the real one.
    const bool interim = head_.status >= 100 && head_.status < 200 && head_.status != 101;
    if (headState_ == HeadState::kReading) {
      headState_ = interim ? HeadState::kAwaiting : HeadState::kComplete;
    }
  } else if (headState_ == HeadState::kReading) {
    head_.lines.emplace_back(line);
  }
  return true;
}

size_t Transfer::TakeBody(const char* data, size_t size) {
  lastActivity_ = Clock::now();
  if (discarding_) {
    discarded_ += size;
    return discarded_ > kDrainLimit ? 0 : size;
  }
  if (Buffered() >= kPendingLimit) {
    paused_ = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  if (pendingBegin_ == pending_.size()) {
    pending_.clear();
    pendingBegin_ = 0;
  } else if (pendingBegin_ >= kPendingLimit) {
    pending_.erase(0, pendingBegin_);
    pendingBegin_ = 0;
  }
  pending_.append(data, size);
  return size;
}

}  // namespace lumaclip::curl_wininet
