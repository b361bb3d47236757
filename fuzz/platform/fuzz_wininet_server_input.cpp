// What a hostile server can hand the Linux WinINet layer: a Location value, Set-Cookie lines with
// their dates, and header text. Properties: a followed Location is a reachable host with a request
// target that is safe to send; every request target is; header fields come out trimmed and whole;
// the cookie store stays bounded and storing the same lines again changes nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/curl_wininet/cookie_jar.h"
#include "platform/linux/curl_wininet/request_headers.h"
#include "platform/linux/curl_wininet/request_target.h"

namespace {

using namespace lumaclip::curl_wininet;

void Check(bool condition) {
  if (!condition) std::abort();
}

bool SafeToSend(std::string_view target) {
  if (target.empty() || target.front() != '/') return false;
  for (char c : target) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F) return false;
  }
  return true;
}

bool HasDotSegment(std::string_view path) {
  path = path.substr(0, path.find('?'));
  return path.find("/./") != std::string_view::npos ||
         path.find("/../") != std::string_view::npos || path.ends_with("/.") ||
         path.ends_with("/..");
}

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find_first_of("\r\n");
    lines.push_back(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  const RequestTarget base{false, "a.test", 8080, "/dir/page?q=1"};
  const ResolvedLocation resolved = ResolveLocation(base, input);
  if (resolved.kind == LocationKind::kFollow) {
    Check(IsReachableHostName(resolved.target.host));
    Check(resolved.target.port != 0);
    Check(SafeToSend(resolved.target.path));
    Check(!HasDotSegment(resolved.target.path));
    Check(HostHeaderValue(resolved.target).find_first_of("\r\n ") == std::string::npos);
  }
  const std::string objectPath = RequestPathFromObjectName(input);
  Check(SafeToSend(objectPath));

  ForEachHeaderLine(input, [](std::string_view name, std::string_view value) {
    Check(!name.empty() && name.find_first_of(":\r\n") == std::string_view::npos);
    Check(name.front() != ' ' && name.back() != ' ');
    Check(value.find_first_of("\r\n") == std::string_view::npos);
    Check(value.empty() || (value.front() != ' ' && value.back() != ' '));
  });

  // Each line is a Set-Cookie value, as a response's header lines give them.
  constexpr std::time_t kNow = 1700000000;
  CookieJar jar;
  const std::vector<std::string_view> lines = Lines(input);
  for (std::string_view line : lines) {
    jar.Store("www.site.test", "/dir/page", line, kNow);
    ParseCookieDate(line);
  }
  const std::string first = jar.CookieLine("www.site.test", "/dir/page", true, kNow);
  for (std::string_view line : lines) jar.Store("www.site.test", "/dir/page", line, kNow);
  Check(jar.CookieLine("www.site.test", "/dir/page", true, kNow) == first);
  size_t items = first.empty() ? 0 : 1;
  for (size_t at = first.find("; "); at != std::string::npos; at = first.find("; ", at + 2))
    ++items;
  Check(items <= 2 * 50);  // the host's own domain and one parent domain
  return 0;
}
