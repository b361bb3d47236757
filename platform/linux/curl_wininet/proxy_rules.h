// The proxy list and bypass list given to InternetOpenA, read as WinINet reads them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumaclip::curl_wininet {

struct ProxyServer {
  std::string host;
  uint16_t port = 80;
};

struct ProxyRules {
  std::optional<ProxyServer> http;   // "http=HOST:PORT", or an entry without a scheme
  std::optional<ProxyServer> https;  // "https=HOST:PORT", or an entry without a scheme (tunnelled)
  std::vector<std::string> bypass;   // names, "*.domain" patterns and "<local>"
};

// Entries are separated by spaces or ";". "http=" with nothing after it gives no http proxy,
// which is direct access.
ProxyRules ParseProxyRules(std::string_view proxyList, std::string_view bypassList);

// The proxy for a request to `host`, or nothing for direct access. Loopback hosts (localhost,
// 127.x.x.x, ::1) always go direct, like the bypass list's own entries.
std::optional<ProxyServer> ProxyFor(const ProxyRules& rules, bool secure, std::string_view host);

}  // namespace lumaclip::curl_wininet
