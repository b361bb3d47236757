// Fetches one address through FetchWebPage over the Linux WinINet layer, for the benchmark and
// leak-check scripts next to this file:
//   fetch_bench_driver URL [COUNT]         FetchWebPage COUNT times (default 1)
//   fetch_bench_driver --discard URL       the same reads of 1024 bytes through the seven
//                                          operations, the body not kept
//   fetch_bench_driver --fill BYTES        no request: a body of BYTES built in 1024-byte pieces
// prints "bytes=<body size of the last fetch> fetches=<COUNT> peak_rss_kib=<peak resident size>".
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/linux/system/library_loader.h"
#include "text/values.h"
#include "web/fetch_web_page.h"
#include "web/url_parts.h"
#include "web/wininet_operations.h"

namespace {

using lumaclip::InternetDword;
using lumaclip::InternetHandle;

int64_t ReadAndDiscard(const lumaclip::Text& url) {
  InternetHandle session =
      lumaclip::CallInternetOpenA("bench", lumaclip::kInternetOpenTypeDirect, nullptr, nullptr, 0);
  InternetHandle connection = lumaclip::CallInternetConnectA(
      session, lumaclip::UrlHost(url).CString(), static_cast<uint16_t>(lumaclip::UrlPort(url)),
      nullptr, nullptr, lumaclip::kInternetServiceHttp, 0, 0);
  InternetHandle request = lumaclip::CallHttpOpenRequestA(
      connection, "GET", lumaclip::UrlPath(url).CString(), "HTTP/1.1", nullptr, nullptr,
      lumaclip::kInternetFlagReload | lumaclip::kInternetFlagNoCookies, 0);
  lumaclip::CallHttpSendRequestA(request, "", 0, nullptr, 0);
  int64_t total = 0;
  char piece[1024];
  InternetDword count = 0;
  while (lumaclip::CallInternetReadFile(request, piece, sizeof piece, &count) && count != 0) {
    total += count;
  }
  lumaclip::CallInternetCloseHandle(request);
  lumaclip::CallInternetCloseHandle(connection);
  lumaclip::CallInternetCloseHandle(session);
  return total;
}

int64_t Fill(int64_t bytes) {
  lumaclip::Bytes body;
  char piece[1024];
  std::memset(piece, 'x', sizeof piece);
  for (int64_t done = 0; done < bytes; done += sizeof piece) {
    body.Append(std::string_view(piece, sizeof piece));
  }
  return body.Count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: fetch_bench_driver [--discard] URL [COUNT] | --fill BYTES\n");
    return 2;
  }
  const std::string_view mode = argv[1];
  int64_t bytes = 0;
  long count = 1;
  if (mode == "--fill" && argc > 2) {
    bytes = Fill(std::strtoll(argv[2], nullptr, 10));
  } else {
    lumaclip::linux_system::InstallLinuxLibraryLoader();
    if (mode == "--discard" && argc > 2) {
      bytes = ReadAndDiscard(lumaclip::Text::FromBytes(argv[2]));
    } else {
      count = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 1;
      const lumaclip::Text url = lumaclip::Text::FromBytes(argv[1]);
      for (long i = 0; i < count; ++i) bytes = lumaclip::FetchWebPage(url).Count();
    }
    lumaclip::ReleaseBoundLibrary();
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("bytes=%lld fetches=%ld peak_rss_kib=%ld\n", static_cast<long long>(bytes), count,
              usage.ru_maxrss);
  return bytes > 0 ? 0 : 1;
}
