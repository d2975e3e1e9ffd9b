// `tidewell serve` on a page folder of 10,000 pages, measured from outside as the web UI sees it:
// the whole page list over the API, how soon a page file renamed into the folder reaches a
// connected event stream, the resident memory of the idle service, and the processor time it
// takes while nothing happens.
//
// Goals on the 2-core test machine: the list under 100 ms, a renamed file on the stream under
// 50 ms (median_ms), under 40 MB resident (rss_MB), under 0.05 s of processor time in 60 s of
// idleness (cpu_s).
#include <benchmark/benchmark.h>
#include <httplib.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "pagefile/page_file.h"
#include "pagefile/title.h"

namespace tw {
namespace {

constexpr int kPages = 10000;
using Clock = std::chrono::steady_clock;

// A private home with kPages pages, and a service on it, made once per run.
class Service {
 public:
  static Service& Get() {
    static Service service;
    return service;
  }

  int port() const { return port_; }
  const std::string& secret() const { return secret_; }
  const std::string& pages() const { return pages_; }
  const std::string& scratch() const { return scratch_; }
  pid_t pid() const { return pid_; }

  ~Service() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      int status = 0;
      ::waitpid(pid_, &status, 0);
    }
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

 private:
  Service() {
    std::string pattern = "/tmp/tidewell-bench-XXXXXX";
    if (!::mkdtemp(pattern.data())) std::abort();
    root_ = pattern;
    ::setenv("HOME", root_.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root_ + "/.config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (root_ + "/.local/share").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", root_.c_str(), 1);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + root_ + "/no-bus").c_str(), 1);
    pages_ = root_ + "/Documents/My Tidewell";
    scratch_ = root_ + "/scratch";
    std::filesystem::create_directories(pages_);
    std::filesystem::create_directories(scratch_);
    PageRecord record;
    record.title = "model";
    record.SetAddress("http://www.example.org/some/page/that/is/watched.html");
    // Checked pages, as a user's are: only a page never checked is checked as soon as it comes.
    record.content = "<html><body><p>The page as it was last checked.</p></body></html>";
    if (WritePage(scratch_, record)) std::abort();
    std::ifstream in(PagePath(scratch_, "model"), std::ios::binary);
    model_ = std::string{std::istreambuf_iterator<char>(in), {}};
    for (int i = 0; i < kPages; ++i) {
      std::ofstream out(PagePath(pages_, "Page number " + std::to_string(i)), std::ios::binary);
      out << model_;
    }
    Start();
  }

  void Start() {
    int out[2];
    if (::pipe(out) != 0) std::abort();
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      ::execl(TW_TIDEWELL_PROGRAM, TW_TIDEWELL_PROGRAM, "serve", "--port", "0", nullptr);
      ::_exit(127);
    }
    ::close(out[1]);
    std::string line;
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
    ::close(out[0]);
    const size_t colon = line.rfind(':');
    port_ = std::stoi(line.substr(colon + 1));
    secret_ = line.substr(line.find("token=") + 6);
  }

  std::string root_, pages_, scratch_, model_, secret_;
  int port_ = 0;
  pid_t pid_ = -1;

 public:
  const std::string& model() const { return model_; }
};

httplib::Headers Authorized() {
  const Service& service = Service::Get();
  return {{"Authorization", "Bearer " + service.secret()},
          {"Origin", "http://127.0.0.1:" + std::to_string(service.port())}};
}

// An event stream that notes the titles of pages added, as they arrive.
class Stream {
 public:
  Stream() : client_("127.0.0.1", Service::Get().port()) {
    client_.set_read_timeout(std::chrono::seconds(120));
    thread_ = std::thread([this] {
      client_.Get("/api/events", Authorized(), [this](const char* data, size_t length) {
        std::lock_guard lock(mutex_);
        pending_.append(data, length);
        for (size_t at; (at = pending_.find("\"title\":\"")) != std::string::npos;) {
          const size_t end = pending_.find('"', at + 9);
          if (end == std::string::npos) break;
          titles_.insert(pending_.substr(at + 9, end - at - 9));
          pending_.erase(0, end);
        }
        arrived_.notify_all();
        return true;
      });
    });
  }
  ~Stream() {
    client_.stop();
    thread_.join();
  }
  bool WaitFor(const std::string& title, std::chrono::seconds timeout) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, timeout, [&] { return titles_.contains(title); });
  }
  size_t count() {
    std::lock_guard lock(mutex_);
    return titles_.size();
  }

 private:
  httplib::Client client_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::string pending_;
  std::set<std::string> titles_;
};

void BM_PageListOverTheApi(benchmark::State& state) {
  // The list is measured once the service has loaded every page, not while it still reads them.
  {
    Stream stream;
    if (!stream.WaitFor("Page number " + std::to_string(kPages - 1), std::chrono::seconds(60))) {
      state.SkipWithError("the pages were not loaded");
      return;
    }
  }
  httplib::Client client("127.0.0.1", Service::Get().port());
  const std::string body = R"({"id": 1, "method": "pages.list"})";
  std::string reply;
  for (auto _ : state) {
    httplib::Result result = client.Post("/api", Authorized(), body, "application/json");
    if (!result || result->status != 200) {
      state.SkipWithError("pages.list failed");
      break;
    }
    reply = std::move(result->body);
  }
  size_t listed = 0;
  for (size_t at = 0; (at = reply.find("\"title\":", at)) != std::string::npos; ++at) ++listed;
  if (listed != kPages) state.SkipWithError("the reply does not list every page");
  state.counters["pages"] = static_cast<double>(listed);
  state.counters["reply_MB"] = static_cast<double>(reply.size()) / (1 << 20);
}
BENCHMARK(BM_PageListOverTheApi)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_RenamedPageReachesTheStream(benchmark::State& state) {
  Service& service = Service::Get();
  Stream stream;
  if (!stream.WaitFor("Page number " + std::to_string(kPages - 1), std::chrono::seconds(60))) {
    state.SkipWithError("the stream did not start");
    return;
  }
  std::vector<double> latencies;
  int n = 0;
  for (auto _ : state) {
    const std::string title = "Renamed " + std::to_string(n++);
    const std::string from = service.scratch() + "/" + title + ".twp";
    std::ofstream(from, std::ios::binary) << service.model();
    const auto start = Clock::now();
    std::filesystem::rename(from, PagePath(service.pages(), title));
    if (!stream.WaitFor(title, std::chrono::seconds(10))) {
      state.SkipWithError("the page did not arrive");
      break;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(seconds);
    latencies.push_back(seconds * 1000);
  }
  if (latencies.empty()) return;
  std::sort(latencies.begin(), latencies.end());
  state.counters["median_ms"] = latencies[latencies.size() / 2];
  state.counters["max_ms"] = latencies.back();
}
BENCHMARK(BM_RenamedPageReachesTheStream)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(50);

// Processor time of the service, in seconds, from /proc.
double CpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text{std::istreambuf_iterator<char>(stat), {}};
  text = text.substr(text.rfind(')') + 2);
  std::vector<std::string> fields;
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find(' ', start), text.size());
    fields.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  // utime and stime are fields 14 and 15 of the line, 12 and 13 after the command.
  return (std::stod(fields.at(11)) + std::stod(fields.at(12))) /
         static_cast<double>(::sysconf(_SC_CLK_TCK));
}

double ResidentMegabytes(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024;
  }
  return 0;
}

void BM_IdleService(benchmark::State& state) {
  Service& service = Service::Get();
  {
    // A window open and closed again, as a user's visit leaves the service.
    Stream stream;
    (void)stream.WaitFor("Page number " + std::to_string(kPages - 1), std::chrono::seconds(60));
  }
  std::this_thread::sleep_for(std::chrono::seconds(6));  // idle connections time out
  double cpu = 0;
  for (auto _ : state) {
    const double before = CpuSeconds(service.pid());
    std::this_thread::sleep_for(std::chrono::seconds(60));
    cpu = CpuSeconds(service.pid()) - before;
  }
  state.counters["cpu_s"] = cpu;
  state.counters["rss_MB"] = ResidentMegabytes(service.pid());
}
BENCHMARK(BM_IdleService)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
}  // namespace tw

BENCHMARK_MAIN();
