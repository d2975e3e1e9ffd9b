// Throughput of the two comparison walks on generated page pairs with a few volatile spots (a
// visitor counter, the date, a session token in a link, rotating advertisements), 10 KB to 10 MB,
// and how the cost grows with the number of learned records. Bytes are those of one document.
#include <benchmark/benchmark.h>

#include "html_corpus.h"
#include "smartupdate/compare.h"

namespace {

using tw::bench::GeneratePage;
using tw::bench::PageShape;

struct Pair {
  std::string previous;
  std::string current;
  tw::MaskList masks;  // learned from a few earlier downloads
};

Pair MakePair(size_t size, int ad_every) {
  PageShape shape;
  shape.size = size;
  shape.ad_every = ad_every;
  auto download = [&](int n) {
    shape.download = n;
    return GeneratePage(shape);
  };
  Pair pair;
  std::string last = download(0);
  for (int n = 1; n <= 4; ++n) {
    std::string next = download(n);
    tw::LearnDifferences(last, next, pair.masks, nullptr);
    last = std::move(next);
  }
  pair.previous = std::move(last);
  pair.current = download(5);
  return pair;
}

void BM_MatchWithMasks(benchmark::State& state) {
  const Pair pair = MakePair(static_cast<size_t>(state.range(0)), static_cast<int>(state.range(1)));
  int result = 0;
  for (auto _ : state) {
    result = tw::MatchWithMasks(pair.previous, pair.current, pair.masks);
    benchmark::DoNotOptimize(result);
  }
  if (result != tw::walk_result::kSame) state.SkipWithError("the pair was not accepted");
  state.counters["records"] = pair.masks.count();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pair.current.size()));
}

void BM_LearnDifferences(benchmark::State& state) {
  const Pair pair = MakePair(static_cast<size_t>(state.range(0)), static_cast<int>(state.range(1)));
  for (auto _ : state) {
    tw::MaskList working = tw::CloneList(pair.masks);  // the steps learn on a copy
    tw::SourceList sources;
    benchmark::DoNotOptimize(tw::LearnDifferences(pair.previous, pair.current, working, &sources));
  }
  state.counters["records"] = pair.masks.count();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pair.current.size()));
}

// A first learning pass: nothing learned yet, every volatile spot becomes a record.
void BM_LearnFromNothing(benchmark::State& state) {
  PageShape shape;
  shape.size = static_cast<size_t>(state.range(0));
  shape.ad_every = static_cast<int>(state.range(1));
  const std::string previous = GeneratePage(shape);
  shape.download = 1;
  const std::string current = GeneratePage(shape);
  size_t records = 0;
  for (auto _ : state) {
    tw::MaskList masks;
    benchmark::DoNotOptimize(tw::LearnDifferences(previous, current, masks, nullptr));
    records = masks.count();
  }
  state.counters["records"] = static_cast<double>(records);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * current.size()));
}

// Sizes 10 KB to 10 MB with an advertisement every 40 articles; then 100 KB with more and more
// volatile spots (an advertisement every 10, 3 and 1 articles).
void Pairs(benchmark::internal::Benchmark* b) {
  for (int64_t size : {10 << 10, 100 << 10, 1 << 20, 10 << 20}) b->Args({size, 40});
  for (int64_t every : {10, 3, 1}) b->Args({100 << 10, every});
  b->ArgNames({"bytes", "ad_every"})->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_MatchWithMasks)->Apply(Pairs);
BENCHMARK(BM_LearnDifferences)->Apply(Pairs);
BENCHMARK(BM_LearnFromNothing)->Apply(Pairs);

}  // namespace

BENCHMARK_MAIN();
