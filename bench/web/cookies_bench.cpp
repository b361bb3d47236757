// MergeCookies on a large jar: 1,000 caller cookies and 1,000 response cookies, half of the
// response's names shared with the caller and some of them deletions.
#include <benchmark/benchmark.h>

#include <string>

#include "text/values.h"
#include "web/cookies.h"

namespace {

using lumaclip::Text;

void MergeLargeJars(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  std::string caller, response;
  for (int i = 0; i < count; ++i) {
    caller += "session_cookie_" + std::to_string(i) + "=v" + std::to_string(i * 7919) + "; ";
    const int name = i % 2 == 0 ? i : count + i;
    response += "session_cookie_" + std::to_string(name) +
                (i % 10 == 0 ? std::string("=deleted") : "=r" + std::to_string(i)) + "; ";
  }
  const Text callerText = Text::FromBytes(caller);
  const Text responseText = Text::FromBytes(response);
  for (auto _ : state) {
    Text cookies = callerText;
    Text responseCookies = responseText;
    benchmark::DoNotOptimize(lumaclip::MergeCookies(cookies, responseCookies));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * count * 2);
}

BENCHMARK(MergeLargeJars)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
