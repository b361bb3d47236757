// Request targets and redirect resolution (references resolved as RFC 3986 describes, with only
// http and https followed).
#include "platform/linux/curl_wininet/request_target.h"

#include <algorithm>

namespace lumaclip::curl_wininet {
namespace {

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsAlpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsHex(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::string_view TrimSpaces(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool IsIpv6(std::string_view host) {
  return host.find(':') != std::string_view::npos &&
         std::all_of(host.begin(), host.end(),
                     [](char c) { return IsHex(c) || c == ':' || c == '.'; });
}

std::string RemoveDotSegments(std::string_view path) {
  std::string input(path);
  std::string output;
  const auto dropLastSegment = [&output] {
    const size_t slash = output.rfind('/');
    output.erase(slash == std::string::npos ? 0 : slash);
  };
  while (!input.empty()) {
    if (input.starts_with("../")) {
      input.erase(0, 3);
    } else if (input.starts_with("./")) {
      input.erase(0, 2);
    } else if (input.starts_with("/./")) {
      input.erase(0, 2);
    } else if (input == "/.") {
      input = "/";
    } else if (input.starts_with("/../")) {
      input.erase(0, 3);
      dropLastSegment();
    } else if (input == "/..") {
      input = "/";
      dropLastSegment();
    } else if (input == "." || input == "..") {
      input.clear();
    } else {
      const size_t next = input.find('/', input.front() == '/' ? 1 : 0);
      output.append(input, 0, next);
      input.erase(0, next);
    }
  }
  return output.empty() ? std::string("/") : output;
}

// Keeps the bytes of a request target that may stand in a request line.
std::string EncodeUnsafeBytes(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F) {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 0x0F];
    } else {
      encoded += c;
    }
  }
  return encoded;
}

// Splits "path?query#fragment" into a normalised path with its query; the fragment is dropped.
std::string NormalisePathAndQuery(std::string_view reference) {
  reference = reference.substr(0, reference.find('#'));
  const size_t question = reference.find('?');
  std::string path = RemoveDotSegments(reference.substr(0, question));
  if (question != std::string_view::npos) path.append(reference.substr(question));
  return EncodeUnsafeBytes(path);
}

// "[user@]host[:port]" into host and port; false when it does not read as one.
bool ParseAuthority(std::string_view authority, bool secure, std::string& host, uint16_t& port) {
  const size_t at = authority.rfind('@');
  if (at != std::string_view::npos) authority.remove_prefix(at + 1);
  std::string_view portText;
  if (!authority.empty() && authority.front() == '[') {
    const size_t close = authority.find(']');
    if (close == std::string_view::npos) return false;
    host = std::string(authority.substr(1, close - 1));
    const std::string_view after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') return false;
      portText = after.substr(1);
    }
  } else {
    const size_t colon = authority.rfind(':');
    host = std::string(authority.substr(0, colon));
    if (colon != std::string_view::npos) portText = authority.substr(colon + 1);
  }
  for (char& c : host) c = Lower(c);
  port = DefaultPort(secure);
  if (!portText.empty()) {
    uint32_t value = 0;
    for (char c : portText) {
      if (!IsDigit(c)) return false;
      value = value * 10 + static_cast<uint32_t>(c - '0');
      if (value > 65535) return false;
    }
    if (value != 0) port = static_cast<uint16_t>(value);
  }
  return IsReachableHostName(host);
}

}  // namespace

uint16_t DefaultPort(bool secure) {
  return secure ? 443 : 80;
}

std::string HostHeaderValue(const RequestTarget& target) {
  std::string value = IsIpv6(target.host) ? "[" + target.host + "]" : target.host;
  if (target.port != DefaultPort(target.secure)) value += ":" + std::to_string(target.port);
  return value;
}

std::string OriginUrl(const RequestTarget& target) {
  const std::string host = IsIpv6(target.host) ? "[" + target.host + "]" : target.host;
  return std::string(target.secure ? "https://" : "http://") + host + ":" +
         std::to_string(target.port);
}

bool IsReachableHostName(std::string_view host) {
  if (host.empty()) return false;
  if (IsIpv6(host)) return true;
  return std::all_of(host.begin(), host.end(), [](char c) {
    return IsAlpha(c) || IsDigit(c) || c == '-' || c == '.' || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
  });
}

std::string RequestPathFromObjectName(std::string_view objectName) {
  if (objectName.empty()) return "/";
  if (objectName.front() != '/') return NormalisePathAndQuery("/" + std::string(objectName));
  // A fragment in an object name is the caller's: it is sent as given.
  const size_t hash = objectName.find('#');
  std::string path = NormalisePathAndQuery(objectName.substr(0, hash));
  if (hash != std::string_view::npos) path += EncodeUnsafeBytes(objectName.substr(hash));
  return path;
}

ResolvedLocation ResolveLocation(const RequestTarget& base, std::string_view location) {
  location = TrimSpaces(location);
  ResolvedLocation resolved;
  if (location.empty()) return resolved;
  RequestTarget target = base;

  size_t schemeEnd = 0;
  while (schemeEnd < location.size() &&
         (IsAlpha(location[schemeEnd]) ||
          (schemeEnd > 0 && (IsDigit(location[schemeEnd]) || location[schemeEnd] == '+' ||
                             location[schemeEnd] == '-' || location[schemeEnd] == '.')))) {
    ++schemeEnd;
  }
  std::string_view rest = location;
  if (schemeEnd > 0 && schemeEnd < location.size() && location[schemeEnd] == ':') {
    std::string scheme(location.substr(0, schemeEnd));
    for (char& c : scheme) c = Lower(c);
    if (scheme != "http" && scheme != "https") {
      resolved.kind = LocationKind::kOtherScheme;
      return resolved;
    }
    target.secure = scheme == "https";
    rest = location.substr(schemeEnd + 1);
    if (!rest.starts_with("//")) return resolved;
  }
  if (rest.starts_with("//")) {
    rest.remove_prefix(2);
    const size_t end = rest.find_first_of("/?#");
    const std::string_view authority = rest.substr(0, end);
    if (!ParseAuthority(authority, target.secure, target.host, target.port)) return resolved;
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
    target.path = NormalisePathAndQuery(
        rest.empty() || rest.front() != '/' ? "/" + std::string(rest) : std::string(rest));
  } else if (rest.front() == '/') {
    target.path = NormalisePathAndQuery(rest);
  } else if (rest.front() == '?') {
    const std::string_view basePath = std::string_view(base.path).substr(0, base.path.find('?'));
    target.path = NormalisePathAndQuery(std::string(basePath) + std::string(rest));
  } else if (rest.front() == '#') {
    target.path = base.path;
  } else {
    const std::string_view basePath = std::string_view(base.path).substr(0, base.path.find('?'));
    const size_t slash = basePath.rfind('/');
    const std::string directory(slash == std::string_view::npos ? std::string_view("/")
                                                                : basePath.substr(0, slash + 1));
    target.path = NormalisePathAndQuery(directory + std::string(rest));
  }
  resolved.kind = LocationKind::kFollow;
  resolved.target = std::move(target);
  return resolved;
}

}  // namespace lumaclip::curl_wininet
