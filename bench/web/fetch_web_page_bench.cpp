// FetchWebPage over an in-memory layer that delivers a body of N bytes in 1024-byte pieces at once:
// what is left is the routine's own cost, the body assembly above all. The baseline writes the same
// bytes into one fresh block of the final size, so the ratio of the two shows what the piecewise
// assembly adds (appending a piece never copies the body; large bodies cost mostly fresh pages).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "web/fetch_web_page.h"
#include "web/wininet_operations.h"

namespace lumaclip {
namespace {

int64_t bodyLeft = 0;
char handle;

InternetHandle Open(const char*, InternetDword, const char*, const char*, InternetDword) {
  return &handle;
}
InternetHandle Connect(InternetHandle, const char*, uint16_t, const char*, const char*,
                       InternetDword, InternetDword, uintptr_t) {
  return &handle;
}
InternetHandle OpenRequest(InternetHandle, const char*, const char*, const char*, const char*,
                           const char**, InternetDword, uintptr_t) {
  return &handle;
}
InternetBool Send(InternetHandle, const char*, InternetDword, void*, InternetDword) {
  return 1;
}
InternetBool Read(InternetHandle, void* buffer, InternetDword bytesToRead,
                  InternetDword* bytesRead) {
  const int64_t count = bodyLeft < bytesToRead ? bodyLeft : bytesToRead;
  std::memset(buffer, 'x', static_cast<std::size_t>(count));
  bodyLeft -= count;
  *bytesRead = static_cast<InternetDword>(count);
  return 1;
}
InternetBool Query(InternetHandle, InternetDword, void* buffer, InternetDword*, InternetDword*) {
  std::memcpy(buffer, "HTTP/1.1 200 OK\r\n\r\n", 20);
  return 1;
}
InternetBool Close(InternetHandle) {
  return 1;
}

void* Find(void*, const char* name) {
  const struct {
    const char* name;
    void* function;
  } table[] = {{"InternetOpenA", reinterpret_cast<void*>(&Open)},
               {"InternetConnectA", reinterpret_cast<void*>(&Connect)},
               {"HttpOpenRequestA", reinterpret_cast<void*>(&OpenRequest)},
               {"HttpSendRequestA", reinterpret_cast<void*>(&Send)},
               {"InternetReadFile", reinterpret_cast<void*>(&Read)},
               {"HttpQueryInfoA", reinterpret_cast<void*>(&Query)},
               {"InternetCloseHandle", reinterpret_cast<void*>(&Close)}};
  for (const auto& entry : table) {
    if (std::strcmp(entry.name, name) == 0) return entry.function;
  }
  return nullptr;
}

void BM_FetchWebPageBody(benchmark::State& state) {
  InstallLibraryLoader(
      LibraryLoader{[](const char*) -> void* { return &handle; }, Find, [](void*) {}});
  const Text url = Text::Literal("http://bench.test/");
  for (auto _ : state) {
    bodyLeft = state.range(0);
    const Bytes body = FetchWebPage(url);
    benchmark::DoNotOptimize(body.View().data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
  ReleaseBoundLibrary();
}
void BM_WriteFreshBlock(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0));
  for (auto _ : state) {
    char* block = static_cast<char*>(std::malloc(size));
    for (std::size_t at = 0; at < size; at += 1024) std::memset(block + at, 'x', 1024);
    benchmark::DoNotOptimize(block);
    std::free(block);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_WriteFreshBlock)
    ->Arg(1 << 20)
    ->Arg(8 << 20)
    ->Arg(64 << 20)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FetchWebPageBody)
    ->Arg(1 << 20)
    ->Arg(8 << 20)
    ->Arg(64 << 20)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumaclip
