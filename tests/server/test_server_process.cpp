#include "tests/server/test_server_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

extern char** environ;

namespace lumaclip::testing {
namespace {

namespace fs = std::filesystem;

// Debian's interpreter starts in a tenth of a second; a version manager's shim can take seconds.
const char* Python() {
  return access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
}

std::string MakeTemporaryFolder() {
  std::string pattern = (fs::temp_directory_path() / "lumaclip-server-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

int Spawn(const std::vector<std::string>& arguments, int stdinFd, int stdoutFd) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (stdinFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdinFd, STDIN_FILENO);
  if (stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return failed == 0 ? pid : -1;
}

}  // namespace

TestServer::TestServer(std::string_view routesJson, const TestServerOptions& options) {
  folder_ = MakeTemporaryFolder();
  if (folder_.empty()) return;
  {
    std::ofstream routes(folder_ + "/routes.json", std::ios::binary);
    routes << routesJson;
  }
  std::vector<std::string> arguments = {Python(),
                                        LUMACLIP_TEST_SERVER_SCRIPT,
                                        "--routes",
                                        folder_ + "/routes.json",
                                        "--log",
                                        folder_ + "/log",
                                        "--watch-stdin",
                                        "--lifetime",
                                        "900"};
  if (options.tls) {
    arguments.insert(arguments.end(),
                     {"--tls", CertificateFolder(), "--cert", options.certificate});
  }
  int input[2];
  int output[2];
  if (pipe2(input, O_CLOEXEC) != 0) return;
  if (pipe2(output, O_CLOEXEC) != 0) {
    close(input[0]);
    close(input[1]);
    return;
  }
  pid_ = Spawn(arguments, input[0], output[1]);
  close(input[0]);
  close(output[1]);
  stdinPipe_ = input[1];
  if (pid_ < 0) {
    close(output[0]);
    return;
  }
  std::unique_ptr<FILE, int (*)(FILE*)> lines(fdopen(output[0], "r"), fclose);
  char line[256];
  while (lines && std::fgets(line, sizeof line, lines.get()) != nullptr) {
    int value = 0;
    if (std::sscanf(line, "PORT %d", &value) == 1) port_ = value;
    if (std::sscanf(line, "TLS_PORT %d", &value) == 1) tlsPort_ = value;
    if (std::string_view(line).starts_with("READY")) break;
  }
}

TestServer::~TestServer() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  if (stdinPipe_ >= 0) close(stdinPipe_);
  std::error_code ignored;
  if (!folder_.empty()) fs::remove_all(folder_, ignored);
}

std::string TestServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::string TestServer::SecureUrl(std::string_view path) const {
  return "https://localhost:" + std::to_string(tlsPort_) + std::string(path);
}

std::vector<RecordedRequest> TestServer::Requests() const {
  std::vector<RecordedRequest> requests;
  for (int number = 1;; ++number) {
    char stem[16];
    std::snprintf(stem, sizeof stem, "%04d", number);
    const fs::path request = fs::path(folder_) / "log" / (std::string(stem) + ".request");
    const fs::path description = fs::path(folder_) / "log" / (std::string(stem) + ".json");
    if (!fs::exists(request) || !fs::exists(description)) break;
    requests.push_back({ReadFile(request), ReadFile(description)});
  }
  return requests;
}

const std::string& TestServer::CertificateFolder() {
  // Made once per build tree and kept for a day (they are valid for a week), so that the many test
  // processes of one run share them; a new folder is renamed into place whole, so processes
  // starting together never see half of one.
  static const std::string folder = [] {
    const fs::path kept = LUMACLIP_TEST_CERTIFICATES;
    std::error_code error;
    const auto made = fs::last_write_time(kept / "rogue-server.pem", error);
    if (!error && fs::file_time_type::clock::now() - made < std::chrono::hours(24)) {
      return kept.string();
    }
    fs::create_directories(kept.parent_path(), error);
    std::string fresh = kept.string() + "-XXXXXX";
    if (mkdtemp(fresh.data()) == nullptr) return kept.string();
    const int pid = Spawn(
        {Python(), LUMACLIP_TEST_SERVER_SCRIPT, "--make-certs", fresh, "--names", "secure.test"},
        -1, -1);
    int status = 0;
    if (pid > 0) waitpid(pid, &status, 0);
    fs::remove_all(kept, error);
    fs::rename(fresh, kept, error);
    if (error) fs::remove_all(fresh, error);
    return kept.string();
  }();
  return folder;
}

std::string JsonString(std::string_view text) {
  std::string json = "\"";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      json += escaped;
    } else {
      json += c;
    }
  }
  return json + "\"";
}

std::string HexBytes(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (char c : bytes) {
    hex += kHex[static_cast<unsigned char>(c) >> 4];
    hex += kHex[static_cast<unsigned char>(c) & 0x0F];
  }
  return hex;
}

}  // namespace lumaclip::testing
