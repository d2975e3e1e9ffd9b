// NavigationIndex: what the decision on one navigation asks of the history, answered at once:
// how many History items an address has (compared exactly), whether one of them is today's, and
// when the browsers last recorded a visit of it.
//
// Threads: immutable once built; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "browser/user_history.h"
#include "platform/file_time.h"

namespace tw {

class NavigationIndex {
 public:
  NavigationIndex() = default;
  explicit NavigationIndex(const UserHistory& history);

  uint32_t ItemCount(std::string_view address) const;
  bool HasItemToday(std::string_view address) const;
  // The latest visit the browsers recorded for exactly this address; zero when none did.
  FileTime LastVisit(std::string_view address) const;
  size_t size() const { return stats_.size(); }

 private:
  struct Stats {
    uint32_t items = 0;
    bool today = false;
    FileTime last_visit;
  };
  const Stats* Find(std::string_view address) const;

  std::unordered_map<std::string, Stats> stats_;
};

}  // namespace tw
