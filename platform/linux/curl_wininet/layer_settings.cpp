// Reading the environment's few settings for the layer; a value that does not read as a
// positive number of milliseconds keeps the default.
#include "platform/linux/curl_wininet/layer_settings.h"

#include <algorithm>
#include <cstdlib>

namespace lumaclip::curl_wininet {
namespace {

constexpr long kLongestTimeoutMs = 3600L * 1000;

long Milliseconds(const char* variable, long fallback) {
  const char* text = std::getenv(variable);
  if (text == nullptr || *text == '\0') return fallback;
  long value = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return fallback;
    value = std::min(value * 10 + (*c - '0'), kLongestTimeoutMs);
  }
  return value > 0 ? value : fallback;
}

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

bool IsNumericAddress(std::string_view host) {
  const bool ipv4 = !host.empty() && std::all_of(host.begin(), host.end(), [](char c) {
    return (c >= '0' && c <= '9') || c == '.';
  });
  return ipv4 || host.find(':') != std::string_view::npos;
}

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Lower(x) == Lower(y); });
}

}  // namespace

LayerSettings ReadLayerSettings() {
  LayerSettings settings;
  settings.connectTimeoutMs =
      Milliseconds("LUMACLIP_CONNECT_TIMEOUT_MS", settings.connectTimeoutMs);
  settings.stallTimeoutMs = Milliseconds("LUMACLIP_STALL_TIMEOUT_MS", settings.stallTimeoutMs);
  if (const char* resolve = std::getenv("LUMACLIP_RESOLVE")) {
    settings.resolveListOnly = true;
    std::string_view list(resolve);
    while (!list.empty()) {
      const size_t end = list.find_first_of("; \t");
      if (end != 0) settings.resolve.emplace_back(list.substr(0, end));
      list.remove_prefix(end == std::string_view::npos ? list.size() : end + 1);
    }
  }
  settings.caFile = Variable("SSL_CERT_FILE");
  settings.caDirectory = Variable("SSL_CERT_DIR");
  return settings;
}

bool MayResolve(const LayerSettings& settings, std::string_view host, unsigned port) {
  if (!settings.resolveListOnly || IsNumericAddress(host) || EqualNoCase(host, "localhost")) {
    return true;
  }
  const std::string prefix = std::string(host) + ":" + std::to_string(port) + ":";
  return std::any_of(settings.resolve.begin(), settings.resolve.end(),
                     [&](const std::string& entry) {
                       return entry.size() > prefix.size() &&
                              EqualNoCase(std::string_view(entry).substr(0, prefix.size()), prefix);
                     });
}

}  // namespace lumaclip::curl_wininet
