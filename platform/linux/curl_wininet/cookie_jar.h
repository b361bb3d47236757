// The cookie store shared by every request of the run, as WinINet keeps it: fed from the
// Set-Cookie lines of every response (redirect hops included) and read into one
// "Cookie: a=b; c=d" line per request. It lives in memory only and is safe to use from several
// threads at once.
#pragma once

#include <cstdint>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumaclip::curl_wininet {

// A cookie date in any of the forms servers send (RFC 1123, RFC 850, asctime, and the
// "DD-Mon-YYYY" form), as seconds since the epoch; nothing when it cannot be read.
std::optional<std::time_t> ParseCookieDate(std::string_view text);

class CookieJar {
 public:
  // Stores the cookie of one Set-Cookie value received from `host` for `requestPath`. A value
  // without "=" or with a Domain that does not cover the host is ignored; an Expires in the past
  // removes the stored cookie of that name. Max-Age is not read (WinINet does not read it).
  void Store(std::string_view host, std::string_view requestPath, std::string_view setCookie,
             std::time_t now);
  // "a=b; c=d" for a request to `host` and `requestPath` (its query is ignored), or "" when no
  // cookie applies. Secure cookies go only with `secure` requests.
  std::string CookieLine(std::string_view host, std::string_view requestPath, bool secure,
                         std::time_t now);

 private:
  struct Cookie {
    std::string name;
    std::string value;
    std::string domain;
    std::string path;
    std::optional<std::time_t> expires;
    bool secure = false;
    uint64_t order = 0;
  };

  std::mutex mutex_;
  std::vector<Cookie> cookies_;
  uint64_t nextOrder_ = 0;
};

// The store of the run.
CookieJar& SharedCookieJar();

}  // namespace lumaclip::curl_wininet
