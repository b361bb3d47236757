// Throughput of the text operations over long texts. Case-insensitive FindText and TextBetween
// scan a whole 64 MiB page to a match at its end and must keep above 1 GB/s; ReplaceSubtext,
// SplitText and RemoveAllSpaces run at 1 MiB and 64 MiB, where equal bytes per second show that
// they stay linear. FreshResultBlock shows what a fresh block of the result's size costs alone.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <optional>
#include <string>

#include "text/operations.h"
#include "text/text_between.h"
#include "text/values.h"

namespace {

using lumaclip::Text;

constexpr int64_t kMiB = 1 << 20;

// Share-page markup: ASCII tags with Chinese captions in code page 936, so that the scan meets
// many two-byte characters and many bytes that begin the markers ("c", "C", ".").
std::string PageFiller(int64_t bytes, bool withChinese) {
  const std::string ascii =
      "<div class=\"card\"><a href=\"/v/1234567\" title=\"Clip\">Cats &amp; Coffee</a></div>\r\n"
      "<script>var config = {cdn: 'https://cdn.example.com/static/c.js'};</script>\r\n";
  // 视频标题：城市夜景 (video title: city at night), then a full-width space.
  const std::string chinese =
      "<p "
      "class=\"caption\">\xCA\xD3\xC6\xB5\xB1\xEA\xCC\xE2\xA3\xBA\xB3\xC7\xCA\xD0\xD2\xB9\xBE\xB0"
      "\xA1\xA1</p>\r\n";
  const std::string unit = withChinese ? ascii + chinese : ascii;
  std::string page;
  page.reserve(static_cast<std::size_t>(bytes) + unit.size());
  while (static_cast<int64_t>(page.size()) < bytes) page += unit;
  page.resize(static_cast<std::size_t>(bytes));
  return page;
}

const std::string kVideoMarker = "class=\"video-preview\" src=\"";
const std::string kTail = "CLASS=\"Video-Preview\" SRC=\"https://v.example.com/p/abc.jpg\">";

Text PageWithMatchAtEnd(int64_t bytes, bool withChinese) {
  std::string page = PageFiller(bytes - static_cast<int64_t>(kTail.size()), withChinese);
  page += kTail;
  return Text::FromBytes(page);
}

void FindTextIgnoringCase(benchmark::State& state) {
  const Text page = PageWithMatchAtEnd(state.range(0) * kMiB, state.range(1) != 0);
  const Text marker = Text::FromBytes(kVideoMarker);
  for (auto _ : state) {
    const int32_t at = lumaclip::FindText(page, marker, std::nullopt, true);
    if (at != page.Length() - static_cast<int32_t>(kTail.size()) + 1) state.SkipWithError("missed");
    benchmark::DoNotOptimize(at);
  }
  state.SetBytesProcessed(state.iterations() * page.Length());
}
BENCHMARK(FindTextIgnoringCase)
    ->ArgsProduct({{64}, {0, 1}})
    ->ArgNames({"MiB", "chinese"})
    ->Unit(benchmark::kMillisecond);

void TextBetweenMarkers(benchmark::State& state) {
  const Text page = PageWithMatchAtEnd(state.range(0) * kMiB, state.range(1) != 0);
  const Text left =
      Text::Literal("class=#\xD2\xFD\xBA\xC5video-preview#\xD2\xFD\xBA\xC5 src=#\xD2\xFD\xBA\xC5");
  const Text right = Text::Literal(".jpg");
  for (auto _ : state) {
    const Text address = lumaclip::TextBetween(page, left, right);
    if (address.View() != "https://v.example.com/p/abc") state.SkipWithError("wrong piece");
    benchmark::DoNotOptimize(address.PlatformPointer());
  }
  state.SetBytesProcessed(state.iterations() * page.Length());
}
BENCHMARK(TextBetweenMarkers)
    ->ArgsProduct({{64}, {0, 1}})
    ->ArgNames({"MiB", "chinese"})
    ->Unit(benchmark::kMillisecond);

void ReplaceSubtext(benchmark::State& state) {
  const Text page = Text::FromBytes(PageFiller(state.range(0) * kMiB, true));
  const Text sought = Text::Literal("class");
  const Text replacement = Text::Literal("klasse");
  for (auto _ : state) {
    const Text replaced = lumaclip::ReplaceSubtext(page, sought, replacement);
    benchmark::DoNotOptimize(replaced.PlatformPointer());
  }
  state.SetBytesProcessed(state.iterations() * page.Length());
}
BENCHMARK(ReplaceSubtext)->Arg(1)->Arg(64)->ArgName("MiB")->Unit(benchmark::kMillisecond);

void SplitText(benchmark::State& state) {
  const Text page = Text::FromBytes(PageFiller(state.range(0) * kMiB, true));
  const Text separator = Text::Literal("\r\n");
  for (auto _ : state) {
    const lumaclip::TextArray lines = lumaclip::SplitText(page, separator);
    benchmark::DoNotOptimize(lumaclip::ElementCount(lines));
  }
  state.SetBytesProcessed(state.iterations() * page.Length());
}
BENCHMARK(SplitText)->Arg(1)->Arg(64)->ArgName("MiB")->Unit(benchmark::kMillisecond);

void RemoveAllSpaces(benchmark::State& state) {
  const Text page = Text::FromBytes(PageFiller(state.range(0) * kMiB, true));
  for (auto _ : state) {
    const Text compact = lumaclip::RemoveAllSpaces(page);
    benchmark::DoNotOptimize(compact.PlatformPointer());
  }
  state.SetBytesProcessed(state.iterations() * page.Length());
}
BENCHMARK(RemoveAllSpaces)->Arg(1)->Arg(64)->ArgName("MiB")->Unit(benchmark::kMillisecond);

// The floor for any operation that returns a fresh text of the same size: taking a block from
// the heap and writing it once. Above some size the heap maps fresh pages for every such block,
// and the first touch of each page costs more than the operations' own work.
void FreshResultBlock(benchmark::State& state) {
  const int32_t bytes = static_cast<int32_t>(state.range(0) * kMiB);
  for (auto _ : state) {
    const Text block = lumaclip::BlankText(bytes);
    benchmark::DoNotOptimize(block.PlatformPointer());
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(FreshResultBlock)->Arg(1)->Arg(64)->ArgName("MiB")->Unit(benchmark::kMillisecond);

}  // namespace
