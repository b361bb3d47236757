// What the request tests share: the process set up as a front end sets it up (the Linux loader
// binding "wininet.dll" to the layer just built), a trust store holding the test CA, no name
// lookup beyond the machine, and proxy variables in the environment that must stay unread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "web/scoped_internet_handle.h"
#include "web/wininet_operations.h"

namespace lumaclip::testing {

// Installs the loader and the environment above, once per process.
void PrepareRequestLayer();

// Sets an environment variable for the life of the object, then restores it.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::string& value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

// "name:port:127.0.0.1", the layer's resolve list entry for a test name.
std::string Loopback(std::string_view name, int port);

// A port on 127.0.0.1 where nothing listens.
int RefusedPort();

using ScopedHandle = ScopedInternetHandle;

// Replaces "{port}" and "{tls_port}" in `text`.
std::string WithPorts(std::string text, int port, int tlsPort = 0);

}  // namespace lumaclip::testing
