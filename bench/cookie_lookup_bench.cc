// What the cookies of a large browser profile cost a request: reading a cookies.txt, indexing it,
// and the lookup that every explicit-mode request makes.
#include <benchmark/benchmark.h>

#include <string>

#include "checking/cookies.h"

namespace {

constexpr int64_t kNow = 1'700'000'000;

// A cookie file with `sites` sites of 5 cookies each, on their host and their domain.
std::string CookieFile(int sites) {
  std::string text = "# Netscape HTTP Cookie File\n";
  for (int i = 0; i < sites; ++i) {
    const std::string site = "site" + std::to_string(i) + ".example";
    for (int j = 0; j < 5; ++j) {
      text += (j % 2 ? "." + site : "www." + site) + "\tTRUE\t/\tFALSE\t1800000000\tname" +
              std::to_string(j) + "\t" + std::string(40, 'v') + "\n";
    }
  }
  return text;
}

void BM_ParseAndIndex(benchmark::State& state) {
  const std::string text = CookieFile(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    tw::CookieSet set(tw::ParseCookiesTxt(text));
    benchmark::DoNotOptimize(set.size());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * 5);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ParseAndIndex)->Arg(200)->Arg(4000);

void BM_LookUp(benchmark::State& state) {
  const tw::CookieSet set(tw::ParseCookiesTxt(CookieFile(static_cast<int>(state.range(0)))));
  const std::string address = "http://www.site17.example/some/deep/path/page.html?q=1";
  for (auto _ : state) benchmark::DoNotOptimize(set.HeaderFor(address, kNow));
}
BENCHMARK(BM_LookUp)->Arg(200)->Arg(4000);

void BM_EngineLines(benchmark::State& state) {
  const tw::CookieSet set(tw::ParseCookiesTxt(CookieFile(static_cast<int>(state.range(0)))));
  for (auto _ : state) benchmark::DoNotOptimize(tw::NetscapeLines(set.records(), kNow, true));
}
BENCHMARK(BM_EngineLines)->Arg(200)->Arg(4000);

}  // namespace

BENCHMARK_MAIN();
