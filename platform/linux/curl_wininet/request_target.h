// Where one hop of a request goes: scheme, host, port and the request target, and the rules that
// turn a caller's object name or a server's Location into them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumaclip::curl_wininet {

struct RequestTarget {
  bool secure = false;
  std::string host;  // as given, without brackets around an IPv6 address
  uint16_t port = 80;
  std::string path;  // the request target: "/" and the rest, query included, ready to send
};

uint16_t DefaultPort(bool secure);
// "host" or "host:port" when the port is not the scheme's default; IPv6 addresses in brackets.
std::string HostHeaderValue(const RequestTarget& target);
// "http://host:port" (or https) as libcurl wants it.
std::string OriginUrl(const RequestTarget& target);

// A host name or address that can go into a URL and a Host line: letters, digits, "-", ".", "_"
// and bytes of 0x80 and above, or an IPv6 address. Anything else (user information, spaces,
// control bytes) cannot be reached.
bool IsReachableHostName(std::string_view host);

// The object name as it is sent: a leading "/" added when missing, "." and ".." segments of the
// path resolved, and spaces and control bytes percent-encoded.
std::string RequestPathFromObjectName(std::string_view objectName);

enum class LocationKind { kFollow, kOtherScheme, kInvalid };

struct ResolvedLocation {
  LocationKind kind = LocationKind::kInvalid;
  RequestTarget target;
};

// Resolves a Location value against the hop that received it.
ResolvedLocation ResolveLocation(const RequestTarget& base, std::string_view location);

}  // namespace lumaclip::curl_wininet
