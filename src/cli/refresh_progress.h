// What `tidewell refresh --progress` shows on standard error: while the check runs on a terminal,
// one line with the number of pages and the seconds so far; at the end, a summary naming the
// pages that became updated and the pages in error. Made and finished on the main thread;
// OnCheckingStarted comes from the check thread, and the running line is drawn by a thread of
// its own.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"

namespace tw::cli {

class RefreshProgress final : public app::RefreshObserver {
 public:
  // `live`: draw the running line (standard error is a terminal).
  RefreshProgress(app::Application& app, bool live);
  ~RefreshProgress() override;
  RefreshProgress(const RefreshProgress&) = delete;
  RefreshProgress& operator=(const RefreshProgress&) = delete;

  void OnPageFolder(const std::string& folder) override;
  void OnCheckingStarted() override;
  // Clears the running line and prints the summary of a check that succeeded.
  void Finish();

 private:
  class Ticker;
  std::string RunningLine() const;

  app::Application& app_;
  const bool live_;
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::string folder_;
  std::vector<app::Page> before_;
  std::atomic<bool> started_{false};
  std::unique_ptr<Ticker> ticker_;
};

}  // namespace tw::cli
