// Proxy and bypass lists in WinINet's notation ("http=host:port https=... host:port", bypass
// names with "*." patterns and "<local>").
#include "platform/linux/curl_wininet/proxy_rules.h"

#include <algorithm>

#include "platform/linux/curl_wininet/request_target.h"

namespace lumaclip::curl_wininet {
namespace {

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerCopy(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = Lower(c);
  return lower;
}

std::vector<std::string_view> SplitEntries(std::string_view list) {
  std::vector<std::string_view> entries;
  while (!list.empty()) {
    const size_t end = list.find_first_of(" ;");
    if (end != 0) entries.push_back(list.substr(0, end));
    list.remove_prefix(end == std::string_view::npos ? list.size() : end + 1);
  }
  return entries;
}

std::optional<ProxyServer> ParseServer(std::string_view text) {
  if (const size_t scheme = text.find("://"); scheme != std::string_view::npos) {
    text.remove_prefix(scheme + 3);
  }
  text = text.substr(0, text.find('/'));
  ProxyServer server;
  std::string_view host = text;
  if (const size_t colon = text.rfind(':');
      colon != std::string_view::npos && text.find(']', colon) == std::string_view::npos) {
    host = text.substr(0, colon);
    uint32_t port = 0;
    for (char c : text.substr(colon + 1)) {
      if (c < '0' || c > '9') return std::nullopt;
      port = port * 10 + static_cast<uint32_t>(c - '0');
      if (port > 65535) return std::nullopt;
    }
    if (port != 0) server.port = static_cast<uint16_t>(port);
  }
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  }
  server.host = LowerCopy(host);
  if (!IsReachableHostName(server.host)) return std::nullopt;
  return server;
}

bool IsLoopback(std::string_view host) {
  return host == "localhost" || host.starts_with("127.") || host == "::1" || host == "[::1]";
}

bool MatchesBypassEntry(std::string_view entry, std::string_view host) {
  if (entry == "<local>") return host.find('.') == std::string_view::npos;
  if (entry.starts_with("*.")) {
    const std::string_view domain = entry.substr(1);  // ".domain"
    return host.size() > domain.size() && host.ends_with(domain);
  }
  if (entry == "*") return true;
  return entry == host;
}

}  // namespace

ProxyRules ParseProxyRules(std::string_view proxyList, std::string_view bypassList) {
  ProxyRules rules;
  std::optional<ProxyServer> anyScheme;
  for (std::string_view entry : SplitEntries(proxyList)) {
    const size_t equals = entry.find('=');
    if (equals == std::string_view::npos) {
      if (!anyScheme) anyScheme = ParseServer(entry);
      continue;
    }
    const std::string scheme = LowerCopy(entry.substr(0, equals));
    const std::string_view server = entry.substr(equals + 1);
    if (scheme == "http" && !rules.http && !server.empty()) rules.http = ParseServer(server);
    if (scheme == "https" && !rules.https && !server.empty()) rules.https = ParseServer(server);
  }
  if (!rules.http) rules.http = anyScheme;
  if (!rules.https) rules.https = anyScheme;
  for (std::string_view entry : SplitEntries(bypassList)) rules.bypass.push_back(LowerCopy(entry));
  return rules;
}

std::optional<ProxyServer> ProxyFor(const ProxyRules& rules, bool secure, std::string_view host) {
  const std::optional<ProxyServer>& proxy = secure ? rules.https : rules.http;
  if (!proxy) return std::nullopt;
  const std::string lowerHost = LowerCopy(host);
  if (IsLoopback(lowerHost)) return std::nullopt;
  for (const std::string& entry : rules.bypass) {
    if (MatchesBypassEntry(entry, lowerHost)) return std::nullopt;
  }
  return proxy;
}

}  // namespace lumaclip::curl_wininet
