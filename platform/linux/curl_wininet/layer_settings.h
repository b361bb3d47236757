// The few settings the layer reads from the environment at each request. In normal use none is
// set and WinINet's defaults apply; tests shorten the time-outs and keep every name lookup on the
// machine.
//   LUMACLIP_CONNECT_TIMEOUT_MS  connect time-out (default 60000)
//   LUMACLIP_STALL_TIMEOUT_MS    a transfer that delivers no byte this long ends (default 30000)
//   LUMACLIP_RESOLVE             "host:port:address" entries separated by ";" or spaces. When the
//                                variable is set (even empty), only these names, numeric
//                                addresses and "localhost" resolve: nothing is asked of DNS.
//   SSL_CERT_FILE, SSL_CERT_DIR  trust store in place of the system's, by the usual convention.
// The environment's proxy variables are never read.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lumaclip::curl_wininet {

struct LayerSettings {
  long connectTimeoutMs = 60000;
  long stallTimeoutMs = 30000;
  bool resolveListOnly = false;
  std::vector<std::string> resolve;  // libcurl's resolve list entries
  std::string caFile;
  std::string caDirectory;
};

LayerSettings ReadLayerSettings();

// Whether `host` may be looked up under `settings` before any connection is tried.
bool MayResolve(const LayerSettings& settings, std::string_view host, unsigned port);

}  // namespace lumaclip::curl_wininet
