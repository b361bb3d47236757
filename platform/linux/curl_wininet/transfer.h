// One hop of a request over libcurl: the request goes out with exactly the header fields it is
// given, the final response's header block is collected, and the body is handed out as the
// transfer delivers it. The multi interface with a paused write callback keeps at most a few
// hundred kilobytes of body in the layer at any time. Connections are kept in a small pool of
// libcurl handles for reuse by later hops and requests.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/curl_wininet/layer_settings.h"
#include "platform/linux/curl_wininet/proxy_rules.h"
#include "platform/linux/curl_wininet/request_headers.h"
#include "platform/linux/curl_wininet/request_target.h"

namespace lumaclip::curl_wininet {

struct Hop {
  RequestTarget target;
  std::string verb;
  bool http10 = false;
  std::vector<HeaderField> fields;
  const std::string* body = nullptr;  // sent when not null; must outlive the transfer
  std::optional<ProxyServer> proxy;
  LayerSettings settings;
};

struct ResponseHead {
  std::string statusLine;
  std::vector<std::string> lines;  // the header lines, without line ends
  int status = 0;
};

struct Transport;

class Transfer {
 public:
  Transfer();
  ~Transfer();
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  // Sends the hop and waits for the final response's header block. False when none arrived
  // (name not resolved, connection refused or timed out, certificate refused, reset, stall).
  bool Start(const Hop& hop, const std::atomic<bool>& cancelled);
  const ResponseHead& Head() const { return head_; }

  // Copies up to `size` body bytes, waiting for them; fewer only when the body ends or the
  // transfer fails.
  size_t Read(char* out, size_t size, const std::atomic<bool>& cancelled);
  bool Failed() const { return failed_; }

  // Reads away a short body so that the connection can be reused, then ends the hop.
  void Drain();
  // Ends the hop; an unfinished transfer loses its connection.
  void Finish();
  // Wakes a wait in another thread so that it sees `cancelled`.
  void Wake();

 private:
  using Clock = std::chrono::steady_clock;

  friend struct TransferCallbacks;

  bool TakeHeaderLine(std::string_view line);
  size_t TakeBody(const char* data, size_t size);
  size_t Buffered() const { return pending_.size() - pendingBegin_; }
  template <typename Satisfied>
  void Pump(const Satisfied& satisfied, const std::atomic<bool>& cancelled);
  void CollectDone();
  void Resume();
  void Abort();

  std::unique_ptr<Transport> transport_;
  std::mutex wakeMutex_;
  struct Lists;
  std::unique_ptr<Lists> lists_;
  std::string url_;
  std::string requestTarget_;
  std::string proxyUrl_;
  long stallTimeoutMs_ = 30000;
  long connectTimeoutMs_ = 60000;

  enum class HeadState { kAwaiting, kReading, kComplete };
  HeadState headState_ = HeadState::kAwaiting;
  ResponseHead head_;
  size_t headerBytes_ = 0;

  std::string pending_;
  size_t pendingBegin_ = 0;
  bool paused_ = false;
  bool discarding_ = false;
  size_t discarded_ = 0;
  bool connected_ = false;
  bool done_ = false;
  bool failed_ = false;
  int64_t uploaded_ = 0;
  Clock::time_point lastActivity_;
};

}  // namespace lumaclip::curl_wininet
