#include "tests/platform/layer_test_support.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "platform/linux/system/library_loader.h"
#include "tests/server/test_server_process.h"

namespace lumaclip::testing {

void PrepareRequestLayer() {
  static std::once_flag once;
  std::call_once(once, [] {
    setenv(linux_system::kWinInetLayerEnvironment, LUMACLIP_WININET_LAYER, 1);
    setenv("SSL_CERT_FILE", (TestServer::CertificateFolder() + "/ca.pem").c_str(), 1);
    unsetenv("SSL_CERT_DIR");
    // Set but empty: only listed names resolve, so no lookup leaves the machine.
    setenv("LUMACLIP_RESOLVE", "", 1);
    // WinINet does not read these; a layer that did would send everything to a dead port.
    for (const char* name :
         {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
      setenv(name, "http://127.0.0.1:9", 1);
    }
    unsetenv("no_proxy");
    unsetenv("NO_PROXY");
    linux_system::InstallLinuxLibraryLoader();
  });
}

ScopedEnvironment::ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
  if (const char* previous = std::getenv(name)) previous_ = previous;
  setenv(name, value.c_str(), 1);
}

ScopedEnvironment::~ScopedEnvironment() {
  if (previous_) {
    setenv(name_.c_str(), previous_->c_str(), 1);
  } else {
    unsetenv(name_.c_str());
  }
}

std::string Loopback(std::string_view name, int port) {
  return std::string(name) + ":" + std::to_string(port) + ":127.0.0.1";
}

int RefusedPort() {
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  close(listener);  // bound, never listening: the port refuses connections
  return port;
}

std::string WithPorts(std::string text, int port, int tlsPort) {
  for (const auto& [placeholder, value] : {std::pair<std::string, int>{"{tls_port}", tlsPort},
                                           std::pair<std::string, int>{"{port}", port}}) {
    for (size_t at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder)) {
      text.replace(at, placeholder.size(), std::to_string(value));
    }
  }
  return text;
}

}  // namespace lumaclip::testing
