// One check pass over a folder of pages of about 50 KB served on loopback: every page unchanged
// since the last pass, or one page in ten changed (each changed page is then written back, and
// the content it replaces kept as a version, or not: kept 0), with 1, 8 and 31 request threads;
// and, to show that memory follows the pool rather than the folder, the unchanged pass once more
// over three times as many pages.
//
// The server runs in a child process, so that the pass's own memory can be measured:
// pass_peak_MB is the rise of the resident set's high-water mark during the pass. items/s is
// pages per second.
//
// Goal on the 2-core test machine: at least 1,000 unchanged pages per second with 8 threads,
// pass_peak_MB independent of the number of pages, and keeping versions adding under 5% to a pass
// that finds one page in ten changed (kept 10 against kept 0).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <httplib.h>
#include <malloc.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "checking/check_thread.h"
#include "html_corpus.h"
#include "pagefile/page_file.h"
#include "pagefile/title.h"

namespace tw {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBaseBodies = 16;
constexpr size_t kBodySize = 50 * 1024;

// Page i's body at a generation: one of a few generated pages with the page's number in it, and,
// for every tenth page, the generation too (a change in the page's text).
std::string Body(const std::vector<std::string>& bases, int page, int generation) {
  std::string body = bases[static_cast<size_t>(page % kBaseBodies)];
  std::string mark = "<title>Page " + std::to_string(page);
  if (page % 10 == 0) mark += " edition " + std::to_string(generation);
  body.replace(body.find("<title>"), 7, mark + " ");
  return body;
}

std::vector<std::string> BaseBodies() {
  std::vector<std::string> bases;
  for (int i = 0; i < kBaseBodies; ++i) {
    bench::PageShape shape;
    shape.size = kBodySize;
    shape.seed = static_cast<unsigned>(i + 1);
    shape.volatile_spots = false;
    bases.push_back(bench::GeneratePage(shape));
  }
  return bases;
}

// The page server, a child process: GET /p/N serves page N at the current generation, GET
// /generation/G sets it, GET /served tells how many pages it has served. A thread per connection,
// connections kept open, and a listen queue long enough for every request thread at once (a
// connection refused for want of room is tried again only a second later, which would measure
// the server rather than the pass).
class PageServer {
 public:
  explicit PageServer(int listen_fd) : listen_fd_(listen_fd), bases_(BaseBodies()) {}

  [[noreturn]] void Run() {
    for (;;) {
      const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      std::thread([this, fd] { Serve(fd); }).detach();
    }
  }

 private:
  void Serve(int fd) {
    std::string buffer;
    char chunk[4096];
    for (;;) {
      size_t end;
      while ((end = buffer.find("\r\n\r\n")) == std::string::npos) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0) {
          ::close(fd);
          return;
        }
        buffer.append(chunk, static_cast<size_t>(n));
      }
      const std::string head = buffer.substr(0, end);
      buffer.erase(0, end + 4);
      const bool is_head = head.rfind("HEAD ", 0) == 0;
      const size_t path_at = head.find(' ') + 1;
      const std::string path = head.substr(path_at, head.find(' ', path_at) - path_at);
      std::string body;
      if (path.rfind("/p/", 0) == 0) {
        body = Body(bases_, std::stoi(path.substr(3)), generation_);
        ++served_;
      } else if (path.rfind("/generation/", 0) == 0) {
        generation_ = std::stoi(path.substr(12));
      } else if (path == "/served") {
        body = std::to_string(served_.load());
      }
      std::string response = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                             std::to_string(body.size()) + "\r\n\r\n";
      if (!is_head) response += body;
      for (size_t sent = 0; sent < response.size();) {
        const ssize_t n = ::write(fd, response.data() + sent, response.size() - sent);
        if (n <= 0) {
          ::close(fd);
          return;
        }
        sent += static_cast<size_t>(n);
      }
    }
  }

  const int listen_fd_;
  const std::vector<std::string> bases_;
  std::atomic<int> generation_{0};
  std::atomic<long> served_{0};
};

struct Server {
  pid_t pid = -1;
  int port = 0;

  void Start() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 256) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      std::abort();
    }
    port = ntohs(address.sin_port);
    const pid_t parent = ::getpid();
    pid = ::fork();
    if (pid < 0) std::abort();
    if (pid > 0) {
      ::close(fd);
      return;
    }
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(0);
    PageServer(fd).Run();
  }
  void Stop() {
    if (pid <= 0) return;
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  }
  std::string Get(const std::string& path) {
    httplib::Client client("127.0.0.1", port);
    httplib::Result result = client.Get(path);
    if (!result) std::abort();
    return result->body;
  }
  void SetGeneration(int generation) { Get("/generation/" + std::to_string(generation)); }
  long Served() { return std::stol(Get("/served")); }
};

Server g_server;
int g_generation = 0;

// A folder of pages that hold what the server serves now, as after an earlier pass.
struct Folder {
  std::string root;
  std::string pages;

  explicit Folder(int count) {
    std::string pattern = "/tmp/tidewell-bench-XXXXXX";
    if (!::mkdtemp(pattern.data())) std::abort();
    root = pattern;
    pages = root + "/pages";
    std::filesystem::create_directories(pages);
    const std::vector<std::string> bases = BaseBodies();
    for (int i = 0; i < count; ++i) {
      PageRecord page;
      page.title = "Page " + std::to_string(i);
      page.SetAddress("http://127.0.0.1:" + std::to_string(g_server.port) + "/p/" +
                      std::to_string(i));
      page.smartUpdate = 1;
      page.SetContent(Body(bases, i, g_generation));
      if (WritePage(pages, page)) std::abort();
    }
  }
  ~Folder() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }

  static Folder& Of(int count) {
    static std::map<int, std::unique_ptr<Folder>> folders;
    std::unique_ptr<Folder>& folder = folders[count];
    if (!folder) folder = std::make_unique<Folder>(count);
    return *folder;
  }
};

// The resident set's high-water mark in kB, and its reset to the current size.
long HighWaterKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return 0;
}
long ResidentKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return 0;
}
// Memory freed earlier goes back to the system first, so that the rise measured is the pass's.
void ResetHighWater() {
  ::malloc_trim(0);
  std::ofstream("/proc/self/clear_refs") << "5";
}

// Arguments: request threads, pages changed (percent: 0 or 10), pages, earlier versions kept of
// each page (the content a change replaces is kept unless 0).
void BM_CheckPass(benchmark::State& state) {
  const auto threads = static_cast<uint32_t>(state.range(0));
  const bool changes = state.range(1) != 0;
  const int pages = static_cast<int>(state.range(2));
  const auto kept = static_cast<uint32_t>(state.range(3));
  Folder& folder = Folder::Of(pages);
  auto context = std::make_shared<RequestContext>();
  context->user_agent = "Tidewell benchmark";
  double peak_mb = 0;
  const long served_before = g_server.Served();
  for (auto _ : state) {
    if (changes) g_server.SetGeneration(++g_generation);
    CheckThread thread(CheckThread::Options{context});
    thread.SetPageFolder(folder.pages);
    thread.SetPassSettings(PassSettings{40000, threads, kept});
    ResetHighWater();
    const long before = ResidentKb();
    const auto start = Clock::now();
    if (!thread.RunOnce().ok()) state.SkipWithError("the pass failed");
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    peak_mb = std::max(peak_mb, static_cast<double>(HighWaterKb() - before) / 1024.0);
    // A changed page holds its new edition.
    state.PauseTiming();
    Result<std::unique_ptr<PageRecord>> changed = ReadPage(folder.pages, "Page 0");
    if (!changed.ok() ||
        (*changed)->content.find(" edition " + std::to_string(g_generation) + " ") ==
            std::string::npos ||
        (changes && (*changed)->updated != 1)) {
      state.SkipWithError("a changed page was not written back");
    }
    state.ResumeTiming();
  }
  // Every page fetched once a pass.
  if (g_server.Served() - served_before != state.iterations() * pages) {
    state.SkipWithError("not every page was fetched");
  }
  state.SetItemsProcessed(state.iterations() * pages);
  state.counters["pass_peak_MB"] = peak_mb;
}
BENCHMARK(BM_CheckPass)
    ->ArgNames({"threads", "changed_pct", "pages", "kept"})
    ->Args({1, 0, 1000, 10})
    ->Args({8, 0, 1000, 10})
    ->Args({31, 0, 1000, 10})
    ->Args({1, 10, 1000, 0})
    ->Args({1, 10, 1000, 10})
    ->Args({8, 10, 1000, 0})
    ->Args({8, 10, 1000, 10})
    ->Args({31, 10, 1000, 10})
    ->Args({8, 0, 3000, 10})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace
}  // namespace tw

int main(int argc, char** argv) {
  // Before any thread exists: the server is forked.
  tw::g_server.Start();
  std::string home = "/tmp/tidewell-bench-home-XXXXXX";
  if (::mkdtemp(home.data())) ::setenv("HOME", home.c_str(), 1);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  tw::g_server.Stop();
  std::error_code ignored;
  std::filesystem::remove_all(home, ignored);
  return 0;
}
