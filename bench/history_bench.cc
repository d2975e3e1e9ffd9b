// Smart History over a large history: a Firefox profile whose places.sqlite holds 100,000 visits
// to 20,000 addresses over four months, read as the detection reads it (copy, read, analyse), and
// the decision on one navigation against that history.
//
// Goals on the 2-core test machine: detection under 1 s and under 50 MB resident (peak_rss_MB,
// the whole process), one navigation decided under 10 ms.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_home.h"
#include "browser/browser_schemas.h"
#include "browser/browser_settings.h"
#include "history/navigation_index.h"
#include "history/smart_history.h"

namespace tw {
namespace {

constexpr int kAddresses = 20000;
constexpr int kVisits = 100000;
constexpr int kDaysOfHistory = 120;
constexpr int64_t kMicrosecondsPerDay = 86'400'000'000;

// A deterministic sequence, so that every run sees the same history.
class Random {
 public:
  uint32_t Next() {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(state_ >> 33);
  }
  // Small numbers far more often than large ones, as visits crowd on a few pages.
  uint32_t Skewed(uint32_t n) {
    const double u = (Next() % 1'000'000) / 1'000'000.0;
    return static_cast<uint32_t>(n * u * u * u);
  }

 private:
  uint64_t state_ = 42;
};

std::string AddressOf(int i) {
  return "https://site" + std::to_string(i % 700) + ".example/section/" + std::to_string(i) +
         "/article.html?ref=" + std::to_string(i * 7);
}

void Exec(sqlite3* db, const char* sql) {
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) std::abort();
}

// Writes the history as Firefox keeps it.
void WritePlaces(const std::string& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) std::abort();
  Exec(db, "PRAGMA journal_mode = WAL");
  Exec(db, test::kFirefoxPlaces);
  Exec(db, "BEGIN");
  sqlite3_stmt* page = nullptr;
  sqlite3_prepare_v2(db,
                     "INSERT INTO moz_places (id, url, title, rev_host, guid) VALUES "
                     "(?1, ?2, ?3, '', ?1)",
                     -1, &page, nullptr);
  for (int i = 1; i <= kAddresses; ++i) {
    const std::string url = AddressOf(i);
    const std::string title = "Article " + std::to_string(i) + " of the example site";
    sqlite3_bind_int(page, 1, i);
    sqlite3_bind_text(page, 2, url.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(page, 3, title.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(page) != SQLITE_DONE) std::abort();
    sqlite3_reset(page);
  }
  sqlite3_finalize(page);
  sqlite3_stmt* visit = nullptr;
  sqlite3_prepare_v2(db,
                     "INSERT INTO moz_historyvisits (place_id, visit_date, visit_type, session) "
                     "VALUES (?1, ?2, 1, 0)",
                     -1, &visit, nullptr);
  const int64_t now = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
  Random random;
  for (int i = 0; i < kVisits; ++i) {
    // Every address at least once, the rest crowded on the first addresses.
    const int place = i < kAddresses ? i + 1 : static_cast<int>(random.Skewed(kAddresses)) + 1;
    const int64_t when =
        now - static_cast<int64_t>(random.Next() % kDaysOfHistory) * kMicrosecondsPerDay -
        static_cast<int64_t>(random.Next() % 86'400) * 1'000'000;
    sqlite3_bind_int(visit, 1, place);
    sqlite3_bind_int64(visit, 2, when);
    if (sqlite3_step(visit) != SQLITE_DONE) std::abort();
    sqlite3_reset(visit);
  }
  sqlite3_finalize(visit);
  Exec(db,
       "UPDATE moz_places SET visit_count = (SELECT count(*) FROM moz_historyvisits v WHERE "
       "v.place_id = moz_places.id), last_visit_date = (SELECT max(visit_date) FROM "
       "moz_historyvisits v WHERE v.place_id = moz_places.id)");
  Exec(db, "COMMIT");
  sqlite3_close(db);
}

// A private home with the profile, made once per run by a child process, so that what writing
// it costs does not count in this process's memory.
struct Home {
  std::string root;

  static Home& Get() {
    static Home home;
    return home;
  }

  Home() {
    root = bench::MakeBenchHome();
    const std::string firefox = root + "/.config/mozilla/firefox";
    std::filesystem::create_directories(firefox + "/bench.default");
    const pid_t child = ::fork();
    if (child < 0) std::abort();
    if (child == 0) {
      FILE* ini = std::fopen((firefox + "/profiles.ini").c_str(), "w");
      std::fputs("[Profile0]\nName=bench\nPath=bench.default\nDefault=1\n", ini);
      std::fclose(ini);
      WritePlaces(firefox + "/bench.default/places.sqlite");
      ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::abort();
  }
  ~Home() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
};

double PeakRssMegabytes() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_DetectionOverTheUsersHistory(benchmark::State& state) {
  Home::Get();
  size_t found = 0;
  for (auto _ : state) {
    found = 0;
    RunDetection(
        [&found](DetectionReport report, std::optional<HistoryCandidate>) {
          if (report == DetectionReport::kCandidate) ++found;
          if (report == DetectionReport::kFailed) std::abort();
        },
        Now(), nullptr);
  }
  state.counters["visits"] = kVisits;
  state.counters["addresses"] = kAddresses;
  state.counters["proposed"] = static_cast<double>(found);
  state.counters["peak_rss_MB"] = PeakRssMegabytes();
}
BENCHMARK(BM_DetectionOverTheUsersHistory)->Unit(benchmark::kMillisecond)->Iterations(5);

// Answers the decision as a running worker's pages would, without anything to wait for.
class NoPages : public SmartHistoryPages {
 public:
  void ClearUpdated(const WatchedPage&) override {}
  AddResult AddPage(const std::string&, const std::string&) override { return AddResult::kAdded; }
  bool Propose(const std::string&, const std::string&) override { return true; }
};

void BM_NavigationDecision(benchmark::State& state) {
  Home::Get();
  const FileTime now = Now();
  Result<UserHistory> history = ReadUserHistory(now);
  if (!history.ok()) std::abort();
  const NavigationIndex index(*history);
  Result<UrlCache> marks = UrlCache::OpenUser();
  if (!marks.ok()) std::abort();
  std::vector<WatchedPage> watched;
  for (int i = 0; i < 1000; ++i)
    watched.push_back({"Page " + std::to_string(i), AddressOf(i * 13 + 5), false});
  NoPages pages;
  Random random;
  int proposed = 0;
  for (auto _ : state) {
    const std::string address = AddressOf(static_cast<int>(random.Skewed(kAddresses)) + 1);
    // The decision reads the home pages again, as the worker does for every navigation.
    const std::vector<std::string> start_pages = UserStartPages();
    NavigationContext context{true, AutoSh::kDetect, watched, start_pages, &index, now};
    if (DecideNavigation(Navigation{address, "Title"}, context, *marks, pages, nullptr) ==
        NavigationOutcome::kProposed) {
      ++proposed;
      state.PauseTiming();
      (void)marks->Unmark(address);  // so that the next time takes the whole way again
      state.ResumeTiming();
    }
  }
  state.counters["proposed"] = proposed;
}
BENCHMARK(BM_NavigationDecision)->Unit(benchmark::kMicrosecond);

void BM_ReadHistoryAndIndexIt(benchmark::State& state) {
  Home::Get();
  for (auto _ : state) {
    Result<UserHistory> history = ReadUserHistory(Now());
    if (!history.ok()) std::abort();
    NavigationIndex index(*history);
    benchmark::DoNotOptimize(index.size());
  }
}
BENCHMARK(BM_ReadHistoryAndIndexIt)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace tw

BENCHMARK_MAIN();
