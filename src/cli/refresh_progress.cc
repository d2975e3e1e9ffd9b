#include "cli/refresh_progress.h"

#include <cstdio>
#include <map>

#include "cli/command_line.h"
#include "foundation/worker_thread.h"

namespace tw::cli {
namespace {

constexpr auto kRedrawPeriod = std::chrono::milliseconds(250);

std::string Plural(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

// Redraws the running line until stopped.
class RefreshProgress::Ticker final : public WorkerThread {
 public:
  explicit Ticker(const RefreshProgress& progress) : progress_(progress) {}
  ~Ticker() override { Stop(); }

 protected:
  int Run() override {
    SignalStarted();
    do {
      Print("\r" + progress_.RunningLine() + "\x1b[K", stderr);
    } while (!stop_event().Wait(kRedrawPeriod));
    Print("\r\x1b[K", stderr);
    return 0;
  }

 private:
  const RefreshProgress& progress_;
};

RefreshProgress::RefreshProgress(app::Application& app, bool live) : app_(app), live_(live) {}

RefreshProgress::~RefreshProgress() { ticker_.reset(); }

void RefreshProgress::OnPageFolder(const std::string& folder) {
  folder_ = folder;
  app::Outcome<app::PageList> list = app_.ListPages();
  if (list.ok()) before_ = std::move(list->pages);
  if (live_) {
    ticker_ = std::make_unique<Ticker>(*this);
    (void)ticker_->Start();
  }
}

void RefreshProgress::OnCheckingStarted() { started_ = true; }

std::string RefreshProgress::RunningLine() const {
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start_);
  std::string line =
      started_ ? "Checking " + Plural(before_.size(), "page", "pages") : "Waiting to check";
  return line + "... " + std::to_string(seconds.count()) + " s";
}

void RefreshProgress::Finish() {
  ticker_.reset();
  if (!started_) {
    Print(
        "Another process is checking the pages in " + folder_ + "; this refresh left them to it.\n",
        stderr);
    return;
  }
  app::Outcome<app::PageList> list = app_.ListPages();
  if (!list.ok()) return;
  const std::vector<app::Page>& after = list->pages;
  std::map<std::string, const app::Page*> earlier;
  for (const app::Page& page : before_) earlier[page.title] = &page;
  std::string updated, errors;
  size_t updated_count = 0, error_count = 0;
  for (const app::Page& page : after) {
    const auto was = earlier.find(page.title);
    const bool newly_updated = page.updated && (was == earlier.end() || !was->second->updated ||
                                                was->second->updated_time != page.updated_time);
    if (newly_updated) {
      ++updated_count;
      updated += "  * " + page.title + "  " + page.address + "\n";
    }
    if (page.error) {
      ++error_count;
      errors += "  ! " + page.title + ": " + page.error->text + "\n";
    }
  }
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start_);
  Print("Checked " + Plural(after.size(), "page", "pages") + " in " +
            std::to_string(seconds.count()) + " s: " + std::to_string(updated_count) +
            " newly updated, " + std::to_string(error_count) + " in error.\n" + updated + errors,
        stderr);
}

}  // namespace tw::cli
