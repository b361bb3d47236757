// DeriveVideoAddress over a 64 MiB page: the marker near the end, and no marker at all. The whole
// page is searched once per run; the figure to watch is bytes per second.
#include <benchmark/benchmark.h>

#include <string>

#include "app/derive_video_address.h"

namespace {

using lumaclip::Bytes;

constexpr std::size_t kPageSize = 64u << 20;

// Markup that looks like a share page: attributes that begin like the marker, other images,
// two-byte text, ".jpg" addresses outside the preview element.
std::string Filler(std::size_t size) {
  const std::string chunk =
      "<div class=\"item\"><a href=\"/u/12345\"><img class=\"avatar\" src=\"/a/12345.jpg\"></a>"
      "<span class=\"video-title\">\xB6\xCC\xCA\xD3\xC6\xB5 \xB7\xD6\xCF\xED</span>"
      "<p data-src=\"/s/t.png\">Share CLICK Copy</p></div>\n";
  std::string page;
  page.reserve(size + chunk.size());
  while (page.size() < size) page += chunk;
  page.resize(size);
  return page;
}

void DeriveWithMarkerNearTheEnd(benchmark::State& state) {
  std::string page = Filler(kPageSize);
  const std::string element = "<img class=\"video-preview\" src=\"/v/clip.jpg?w=720\">";
  page.replace(page.rfind('\n', page.size() - 4096) + 1, element.size(), element);
  const Bytes body = Bytes::FromBytes(page);
  if (lumaclip::DeriveVideoAddress(body).View() != "/v/clip.mp4") {
    state.SkipWithError("the marker near the end was not found");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(lumaclip::DeriveVideoAddress(body));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * body.Count());
}

void DeriveWithoutMarker(benchmark::State& state) {
  const Bytes body = Bytes::FromBytes(Filler(kPageSize));
  for (auto _ : state) {
    benchmark::DoNotOptimize(lumaclip::DeriveVideoAddress(body));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * body.Count());
}

BENCHMARK(DeriveWithMarkerNearTheEnd)->Unit(benchmark::kMillisecond);
BENCHMARK(DeriveWithoutMarker)->Unit(benchmark::kMillisecond);

}  // namespace
