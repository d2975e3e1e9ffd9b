// Test doubles for the page database: a check thread that only records what it is told, and a
// subscriber that records the events it receives.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "pagedb/check_thread_control.h"
#include "pagedb/page_events.h"
#include "support/sandbox.h"

namespace tw::test {

// What the page database told its check thread; shared with the test, since the database owns
// the thread object.
struct CheckThreadLog {
  std::atomic<int> new_pages{0};
  std::atomic<int> list_changed{0};
  std::atomic<int> stop_checking{0};
  std::atomic<int> check_now{0};
  std::atomic<int> starts{0};
  std::atomic<int> runs{0};
  std::atomic<bool> pass_running{false};
  std::atomic<uint32_t> timeout_ms{0};
  std::atomic<uint32_t> pool_size{0};
  std::atomic<uint32_t> schedule_count{0};
  std::mutex mutex;
  std::string folder;

  std::string Folder() {
    std::lock_guard lock(mutex);
    return folder;
  }
};

class FakeCheckThread final : public CheckThreadControl {
 public:
  explicit FakeCheckThread(std::shared_ptr<CheckThreadLog> log) : log_(std::move(log)) {}

  void SetEventSink(PageEventSink* sink) override { sink_ = sink; }
  void SetPageFolder(const std::string& folder) override {
    std::lock_guard lock(log_->mutex);
    log_->folder = folder;
  }
  void SetPassSettings(const PassSettings& settings) override {
    log_->timeout_ms = settings.timeoutMs;
    log_->pool_size = settings.poolSize;
  }
  void ApplySchedule(uint32_t, uint32_t count) override { log_->schedule_count = count; }
  void SignalNewPages() override { ++log_->new_pages; }
  void SignalPageListChanged() override { ++log_->list_changed; }
  void SignalStopChecking() override { ++log_->stop_checking; }
  void SignalCheckNow() override { ++log_->check_now; }
  bool PassRunning() const override { return log_->pass_running; }
  bool Start() override {
    ++log_->starts;
    return true;
  }
  void SignalStop() override {}
  void Stop() override {}
  // A pass that only says it started, as a real one does through the page database.
  Error RunOnce() override {
    ++log_->runs;
    PageEvent started;
    started.code = page_event::kFolderLocked;
    if (sink_) sink_->SendToAll(started);
    return Error();
  }

 private:
  std::shared_ptr<CheckThreadLog> log_;
  PageEventSink* sink_ = nullptr;
};

// One event as a subscriber saw it.
struct SeenEvent {
  uint16_t code = 0;
  std::string title;  // of the event copy
  std::string address;
  uint32_t status = 0;
  uint32_t errorCode = 0;
  std::vector<std::string> texts;  // error texts (5), or "title address" of updated pages (7)
  uint8_t result = 0;              // of a page request (6)
  uint32_t error = 0;
};

class EventRecorder {
 public:
  static void Callback(PageEvent& event, void* context) {
    static_cast<EventRecorder*>(context)->Record(event);
  }

  void Record(const PageEvent& event) {
    SeenEvent seen;
    seen.code = event.code;
    if (event.page) {
      seen.title = event.page->title;
      seen.address = event.page->address;
      seen.status = event.page->status;
      seen.errorCode = event.page->errorCode;
    }
    if (event.errors) {
      for (const ErrorRecord& r : *event.errors) seen.texts.push_back(r.text);
    }
    if (event.updated) {
      for (const UpdatedPage& p : *event.updated) seen.texts.push_back(p.title + " " + p.address);
    }
    if (event.request) {
      seen.title = event.request->name;
      seen.result = event.request->result;
      seen.error = event.request->error;
    }
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(seen));
  }

  std::vector<SeenEvent> Events() const {
    std::lock_guard lock(mutex_);
    return events_;
  }
  int Count(uint16_t code, const std::string& title = "") const {
    int n = 0;
    for (const SeenEvent& e : Events()) n += e.code == code && (title.empty() || e.title == title);
    return n;
  }
  bool WaitForCount(uint16_t code, const std::string& title, int n) const {
    return WaitFor([&] { return Count(code, title) >= n; });
  }
  // The texts of every event with this code, in order.
  std::vector<std::string> Texts(uint16_t code) const {
    std::vector<std::string> texts;
    for (const SeenEvent& e : Events()) {
      if (e.code == code) texts.insert(texts.end(), e.texts.begin(), e.texts.end());
    }
    return texts;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    events_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<SeenEvent> events_;
};

}  // namespace tw::test
