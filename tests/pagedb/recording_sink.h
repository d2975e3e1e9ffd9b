// A page event sink for tests of what lies below the page database object: it records the error
// texts and updated-page lists handed to it, and can play a database without subscribers or
// without anyone taking messages.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "pagedb/page_events.h"

namespace tw::test {

class RecordingSink : public PageEventSink {
 public:
  bool has_subscribers = true;
  bool takes = true;

  void SendToAll(const PageEvent& event) override {
    std::lock_guard lock(mutex_);
    codes_.push_back(event.code);
  }
  bool SendToFirstTaker(PageEvent event) override {
    std::lock_guard lock(mutex_);
    if (!takes) return false;
    codes_.push_back(event.code);
    if (event.errors) {
      ++chains_;
      for (const ErrorRecord& record : *event.errors) texts_.push_back(record.text);
    }
    return true;
  }
  bool HasSubscribers(uint32_t mask) override {
    return has_subscribers && (mask & page_event::kMaskMessages);
  }

  std::vector<std::string> texts() const {
    std::lock_guard lock(mutex_);
    return texts_;
  }
  int chains() const {
    std::lock_guard lock(mutex_);
    return chains_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<uint16_t> codes_;
  std::vector<std::string> texts_;
  int chains_ = 0;
};

}  // namespace tw::test
