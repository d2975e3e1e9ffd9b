// Scanning throughput on generated pages. "Traverse" visits every element at every nesting level
// the way a comparison that has to look inside every container does: with the plain SkipElement
// each level rescans the bytes of its containers (cost grows with nesting depth × size); with the
// element index each skip is a lookup after one pass.
#include <benchmark/benchmark.h>

#include "html_corpus.h"
#include "smartupdate/element_index.h"
#include "smartupdate/frames.h"
#include "smartupdate/html_scan.h"

namespace {

using tw::bench::GenerateNestedPage;
using tw::bench::GeneratePage;
using tw::bench::PageShape;

std::string Document(const benchmark::State& state) {
  const auto size = static_cast<size_t>(state.range(0));
  if (state.range(1) == 0) {
    PageShape shape;
    shape.size = size;
    return GeneratePage(shape);
  }
  return GenerateNestedPage(size, static_cast<int>(state.range(1)));
}

// Visits the elements of [begin, end) and, depth-first, of every closed container's inside.
template <class SkipFn>
size_t Traverse(const char* begin, const char* end, const SkipFn& skip) {
  size_t elements = 0;
  struct Range {
    const char* begin;
    const char* end;
  };
  std::vector<Range> stack{{begin, end}};
  while (!stack.empty()) {
    Range r = stack.back();
    stack.pop_back();
    const char* p = r.begin;
    while (const char* tag = tw::NextStartTag(p, static_cast<size_t>(r.end - p))) {
      auto e = skip(tag, static_cast<size_t>(r.end - tag));
      if (!e) break;
      ++elements;
      if (e->is_container && !e->is_unclosed) stack.push_back({tag + 1, e->end});
      p = e->is_unclosed ? tag + 1 : e->end;
    }
  }
  return elements;
}

void BM_CollectFrameSources(benchmark::State& state) {
  const std::string doc = Document(state);
  for (auto _ : state) {
    tw::SourceList sources;
    benchmark::DoNotOptimize(tw::CollectFrameSources(doc, sources).ok());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}

void BM_TraversePlainScan(benchmark::State& state) {
  const std::string doc = Document(state);
  size_t elements = 0;
  for (auto _ : state) {
    elements = Traverse(doc.data(), doc.data() + doc.size(),
                        [](const char* p, size_t n) { return tw::SkipElement(p, n); });
    benchmark::DoNotOptimize(elements);
  }
  state.counters["elements"] = static_cast<double>(elements);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}

void BM_TraverseIndexed(benchmark::State& state) {
  const std::string doc = Document(state);
  size_t elements = 0;
  for (auto _ : state) {
    const tw::ElementIndex index(doc);
    elements = Traverse(doc.data(), doc.data() + doc.size(),
                        [&](const char* p, size_t n) { return index.Skip(p, n); });
    benchmark::DoNotOptimize(elements);
  }
  state.counters["elements"] = static_cast<double>(elements);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}

void BM_BuildIndex(benchmark::State& state) {
  const std::string doc = Document(state);
  for (auto _ : state) {
    const tw::ElementIndex index(doc);
    benchmark::DoNotOptimize(index.containers());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}

// Sizes 10 KB to 10 MB; second argument 0 = ordinary page, else the nesting depth of its chains.
void Sizes(benchmark::internal::Benchmark* b) {
  for (int64_t nesting : {0, 200}) {
    for (int64_t size : {10 << 10, 100 << 10, 1 << 20, 10 << 20}) b->Args({size, nesting});
  }
  b->ArgNames({"bytes", "nesting"})->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_CollectFrameSources)->Apply(Sizes);
BENCHMARK(BM_BuildIndex)->Apply(Sizes);
BENCHMARK(BM_TraverseIndexed)->Apply(Sizes);
BENCHMARK(BM_TraversePlainScan)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
