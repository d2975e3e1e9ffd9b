// The page database on a folder of 10,000 page files: how long loading takes until every page has
// reached a subscriber, how much memory the process needs for it, and how long after one page
// file is rewritten the reconciliation that reports it has finished.
//
// Goals on the 2-core test machine: load under 0.3 s, under 40 MB resident (peak_rss_MB), a
// one-page change reconciled under 20 ms.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "bench_home.h"
#include "pagedb/page_database.h"
#include "pagefile/page_file.h"
#include "pagefile/title.h"
#include "settings/checking_options.h"

namespace tw {
namespace {

constexpr int kPages = 10000;
using Clock = std::chrono::steady_clock;

// A private home with a page folder of kPages never-checked pages, made once per run.
struct Folder {
  std::string root;
  std::string pages;
  std::string scratch;

  static Folder& Get() {
    static Folder folder;
    return folder;
  }

  Folder() {
    root = bench::MakeBenchHome();
    pages = root + "/pages";
    std::filesystem::create_directories(pages);
    scratch = root + "/scratch";
    std::filesystem::create_directories(scratch);
    PageRecord record;
    record.title = "model";
    record.SetAddress("http://www.example.org/some/page/that/is/watched.html");
    if (WritePage(scratch, record)) std::abort();
    std::ifstream in(PagePath(scratch, "model"), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    for (int i = 0; i < kPages; ++i) {
      std::ofstream out(PagePath(pages, "Page number " + std::to_string(i)), std::ios::binary);
      out << bytes;
    }
    if (SettingsStore::OpenUser()->WriteString(OptionsKey(), option::kPdb, pages)) std::abort();
  }
  ~Folder() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
};

struct Watcher {
  std::atomic<int> added{0};
  std::atomic<bool> changed{false};
  std::atomic<bool> reconciled{false};
  Event all_added{EventReset::kManual};
  Event done{EventReset::kManual};

  static void Callback(PageEvent& event, void* context) {
    auto* self = static_cast<Watcher*>(context);
    switch (event.code) {
      case page_event::kPageAdded:
        if (++self->added == kPages) self->all_added.Set();
        break;
      case page_event::kPageChanged:
        self->changed = true;
        break;
      case page_event::kFolderUnlocked:
        // The reconciliation that found the change asks for one more; its start means the first
        // has ended.
        if (self->changed && !self->reconciled.exchange(true)) self->done.Set();
        break;
      default:
        break;
    }
  }
};

double PeakRssMegabytes() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

std::unique_ptr<PageDatabase> MakeDatabase() {
  return std::make_unique<PageDatabase>(*SettingsStore::OpenUser(), std::make_unique<NoChecking>(),
                                        nullptr);
}

void BM_LoadTenThousandPages(benchmark::State& state) {
  Folder::Get();
  for (auto _ : state) {
    Watcher watcher;
    auto db = MakeDatabase();
    (void)db->Subscribe(0xFFFFFFFF, &Watcher::Callback, &watcher);
    const auto start = Clock::now();
    if (db->Start()) std::abort();
    (void)watcher.all_added.Wait();
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    db->Stop();
  }
  state.counters["pages"] = kPages;
  state.counters["peak_rss_MB"] = PeakRssMegabytes();
}
BENCHMARK(BM_LoadTenThousandPages)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ReconcileOnePageChange(benchmark::State& state) {
  Folder& folder = Folder::Get();
  auto db = MakeDatabase();
  auto watcher = std::make_unique<Watcher>();
  (void)db->Subscribe(0xFFFFFFFF, &Watcher::Callback, watcher.get());
  if (db->Start()) std::abort();
  (void)watcher->all_added.Wait();
  // Let the reconciliations that follow loading pass.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));

  int round = 0;
  for (auto _ : state) {
    watcher->changed = false;
    watcher->reconciled = false;
    watcher->done.Reset();
    // The new page is written aside (a name the database ignores) and renamed into place, so
    // that the clock runs from the one moment the change appears.
    PageRecord record;
    record.title = "changed.tmp";
    record.SetAddress("http://www.example.org/changed/" + std::to_string(round));
    record.SetContent("changed content");
    if (WritePage(folder.scratch, record)) std::abort();
    const std::string target =
        PagePath(folder.pages, "Page number " + std::to_string(round++ * 97 % kPages));
    std::filesystem::copy_file(PagePath(folder.scratch, "changed.tmp"), folder.pages + "/x.tmp",
                               std::filesystem::copy_options::overwrite_existing);
    const auto start = Clock::now();
    std::filesystem::rename(folder.pages + "/x.tmp", target);
    (void)watcher->done.Wait();
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    // Let the follow-up reconciliation finish before the next change.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  db->Stop();
  state.counters["pages"] = kPages;
}
BENCHMARK(BM_ReconcileOnePageChange)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

}  // namespace
}  // namespace tw

BENCHMARK_MAIN();
