// fetch_driver: makes FetchWebPage calls as a front end would and prints every value the routine
// hands back, so that the Windows request path (the system's wininet.dll) and the Linux one (our
// layer over libcurl) can be run on the same exchanges and compared.
//
//   fetch_driver CALLS_FILE
// Each line of CALLS_FILE is one call, made in order in this one process: space-separated
// name=HEX fields, the value's bytes in hexadecimal. url, method and noRedirect ("1") are read
// as given; cookies and proxy are passed only when their field is present (even empty), since
// the routine asks whether they were given; the other texts are always passed, as fresh
// variables holding the field's value (empty when absent), which behaves as leaving them out.
// For each call it prints "call N", then "NAME HEX" for the body and each by-reference value
// after the call, then "end".
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>

#include "web/fetch_web_page.h"
#include "web/wininet_operations.h"

#if defined(_WIN32)
#include "platform/windows/win32_library_loader.h"
#else
#include "platform/linux/system/library_loader.h"
#endif

namespace {

using lumaclip::Bytes;
using lumaclip::Text;

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

void PrintHex(const char* name, std::string_view bytes) {
  std::printf("%s ", name);
  for (unsigned char byte : bytes) std::printf("%02x", byte);
  std::printf("\n");
}

void MakeCall(const std::map<std::string, std::string>& fields, int number) {
  const auto field = [&](const char* name) -> std::optional<std::string> {
    const auto found = fields.find(name);
    if (found == fields.end()) return std::nullopt;
    return FromHex(found->second);
  };
  const Text url = Text::FromBytes(field("url").value_or(""));
  const int32_t method = std::stoi(field("method").value_or("0"));
  const bool noRedirect = field("noRedirect").value_or("0") == "1";
  const Text postText = Text::FromBytes(field("postText").value_or(""));
  Text responseCookies = Text::FromBytes(field("responseCookies").value_or(""));
  Text extraHeaders = Text::FromBytes(field("extraHeaders").value_or(""));
  Text location = Text::FromBytes(field("location").value_or(""));
  Bytes postBytes = Bytes::FromBytes(field("postBytes").value_or(""));
  Text rawHeaders;
  const std::optional<std::string> cookiesGiven = field("cookies");
  Text cookies = Text::FromBytes(cookiesGiven.value_or(""));
  const std::optional<std::string> proxyGiven = field("proxy");
  const Text proxy = Text::FromBytes(proxyGiven.value_or(""));

  const Bytes body = lumaclip::FetchWebPage(
      url, method, &postText, cookiesGiven ? &cookies : nullptr, &responseCookies, &extraHeaders,
      &location, noRedirect, &postBytes, proxyGiven ? &proxy : nullptr, &rawHeaders);

  std::printf("call %d\n", number);
  PrintHex("body", body.View());
  if (cookiesGiven) PrintHex("cookies", cookies.View());
  PrintHex("responseCookies", responseCookies.View());
  PrintHex("extraHeaders", extraHeaders.View());
  PrintHex("location", location.View());
  PrintHex("postBytes", postBytes.View());
  PrintHex("rawHeaders", rawHeaders.View());
  std::printf("end\n");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fetch_driver CALLS_FILE\n");
    return 2;
  }
#if defined(_WIN32)
  lumaclip::InstallLibraryLoader(lumaclip::Win32LibraryLoader());
#else
  lumaclip::linux_system::InstallLinuxLibraryLoader();
#endif
  std::ifstream calls(argv[1]);
  if (!calls) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 2;
  }
  std::string line;
  int number = 0;
  while (std::getline(calls, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::map<std::string, std::string> fields;
    std::istringstream words(line);
    std::string word;
    while (words >> word) {
      const std::size_t equals = word.find('=');
      if (equals != std::string::npos) fields[word.substr(0, equals)] = word.substr(equals + 1);
    }
    MakeCall(fields, ++number);
  }
  lumaclip::ReleaseBoundLibrary();
  return 0;
}
