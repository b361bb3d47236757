// Runs tests/server/test_server.py for one test: writes the routes, starts the server on loopback,
// and hands back the requests it recorded. The server process ends with this object (and by
// itself if the test process dies, since it watches the pipe to its standard input).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lumaclip::testing {

struct TestServerOptions {
  bool tls = false;                    // also listen for HTTPS, with the test CA's certificate
  std::string certificate = "server";  // "rogue-server": a certificate no trusted CA signed
};

struct RecordedRequest {
  std::string bytes;        // exactly as received: request line, header lines, empty line, body
  std::string description;  // the server's JSON note: connection, tls, proxied, method, target
};

class TestServer {
 public:
  // `routesJson` is the routes table described at the top of test_server.py.
  explicit TestServer(std::string_view routesJson, const TestServerOptions& options = {});
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  bool Started() const { return port_ != 0; }
  int Port() const { return port_; }
  int TlsPort() const { return tlsPort_; }
  // "http://127.0.0.1:PORT" + path, and "https://localhost:TLS_PORT" + path.
  std::string Url(std::string_view path) const;
  std::string SecureUrl(std::string_view path) const;

  std::vector<RecordedRequest> Requests() const;

  // The folder with the test CA (ca.pem) and the certificates, made once per build tree.
  static const std::string& CertificateFolder();

 private:
  std::string folder_;
  int pid_ = -1;
  int stdinPipe_ = -1;
  int port_ = 0;
  int tlsPort_ = 0;
};

// `text` as a JSON string literal, quotes included (for texts of ASCII and UTF-8).
std::string JsonString(std::string_view text);
// The bytes as hexadecimal digits, for a reply's "body_hex".
std::string HexBytes(std::string_view bytes);

}  // namespace lumaclip::testing
