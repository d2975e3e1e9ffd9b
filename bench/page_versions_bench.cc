// Page versions: the diff between an earlier version of a generated 100 KB news page and the page
// now (its volatile spots differ, an article was added and a sentence changed; both sides have
// their learned records), the cost of keeping one version, and the size of the history of 1,000
// pages with 10 versions each against the sum of their contents.
//
// Goals on the 2-core test machine: a diff of two 100 KB pages under 50 ms; the history smaller
// than the contents it holds (history_to_content below 1).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "html_corpus.h"
#include "pagefile/page_versions.h"
#include "smartupdate/compare.h"
#include "versions/page_diff.h"

namespace tw {
namespace {

using bench::GeneratePage;
using bench::PageShape;

// A page learned as a check learns it: records from consecutive downloads, the last one kept.
std::unique_ptr<PageRecord> Learned(PageShape shape, int first_download) {
  auto page = std::make_unique<PageRecord>();
  shape.download = first_download;
  std::string last = GeneratePage(shape);
  for (int n = 1; n <= 3; ++n) {
    shape.download = first_download + n;
    std::string next = GeneratePage(shape);
    LearnDifferences(last, next, page->masks, nullptr);
    last = std::move(next);
  }
  page->SetContent(std::move(last));
  page->SetAddress("http://example.org/news");
  page->SyncCounts();
  return page;
}

struct VersionPair {
  std::unique_ptr<PageRecord> earlier;
  std::unique_ptr<PageRecord> current;
};

VersionPair MakePair(size_t size) {
  PageShape shape;
  shape.size = size;
  VersionPair pair;
  pair.earlier = Learned(shape, 0);
  bench::PageWriter sizing(shape);
  sizing.Write();
  shape.articles = sizing.sections() + 1;  // a new article
  pair.current = Learned(shape, 10);
  // A sentence of an article rewritten.
  std::string content = pair.current->content;
  content.insert(content.find("<p>", content.size() / 2) + 3,
                 "Correction: the council met on Tuesday. ");
  pair.current->SetContent(std::move(content));
  return pair;
}

void BM_DiffVisibleText(benchmark::State& state) {
  const VersionPair pair = MakePair(static_cast<size_t>(state.range(0)));
  size_t changed_runs = 0;
  for (auto _ : state) {
    const std::vector<DiffRun> runs = DiffVisibleText(pair.earlier->content, pair.earlier->masks,
                                                      pair.current->content, pair.current->masks);
    changed_runs = 0;
    for (const DiffRun& run : runs) changed_runs += run.kind != DiffKind::kSame;
    benchmark::DoNotOptimize(changed_runs);
  }
  state.counters["changed_runs"] = static_cast<double>(changed_runs);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pair.current->content.size()));
}

void BM_DiffPages(benchmark::State& state) {
  const VersionPair pair = MakePair(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(DiffPages(*pair.earlier, *pair.current));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pair.current->content.size()));
}

class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = std::filesystem::temp_directory_path() / "tidewell-bench-XXXXXX";
    path_ = ::mkdtemp(pattern.data()) ? pattern : "";
  }
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void BM_KeepVersion(benchmark::State& state) {
  ScratchFolder folder;
  Result<PageVersions> versions = PageVersions::Open(folder.path());
  if (!versions.ok()) return state.SkipWithError("no store");
  PageShape shape;
  shape.size = static_cast<size_t>(state.range(0));
  std::vector<std::unique_ptr<PageRecord>> pages;
  for (int n = 0; n < 16; ++n) {
    shape.download = n;
    auto page = std::make_unique<PageRecord>();
    page->title = "News";
    page->SetContent(GeneratePage(shape));
    pages.push_back(std::move(page));
  }
  size_t i = 0;
  for (auto _ : state) {
    if (versions->Keep(*pages[i++ % pages.size()], Now(), 10)) state.SkipWithError("keep failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * shape.size));
}

void BM_HistoryOfAThousandPages(benchmark::State& state) {
  constexpr int kPages = 1000;
  constexpr int kVersions = 10;
  for (auto _ : state) {
    ScratchFolder folder;
    uint64_t content = 0;
    {
      Result<PageVersions> versions = PageVersions::Open(folder.path());
      if (!versions.ok()) return state.SkipWithError("no store");
      PageShape shape;
      shape.size = 50 * 1024;
      for (int p = 0; p < kPages; ++p) {
        shape.seed = static_cast<unsigned>(p + 1);
        shape.articles = -1;
        PageRecord page;
        page.title = "Page " + std::to_string(p);
        page.SetAddress("http://example.org/" + std::to_string(p));
        for (int v = 0; v < kVersions; ++v) {
          shape.download = v;
          page.SetContent(GeneratePage(shape));
          content += page.content.size();
          if (versions->Keep(page, Now(), kVersions)) return state.SkipWithError("keep failed");
        }
      }
    }
    uint64_t stored = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path() + "/.versions")) {
      stored += entry.file_size();
    }
    state.counters["content_MB"] = static_cast<double>(content) / 1e6;
    state.counters["history_MB"] = static_cast<double>(stored) / 1e6;
    state.counters["history_to_content"] =
        static_cast<double>(stored) / static_cast<double>(content);
  }
}

BENCHMARK(BM_DiffVisibleText)
    ->Arg(10 * 1024)
    ->Arg(100 * 1024)
    ->Arg(1024 * 1024)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DiffPages)->Arg(100 * 1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeepVersion)->Arg(100 * 1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HistoryOfAThousandPages)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace tw

BENCHMARK_MAIN();
