// UserHistory: what the user's browsers have visited, joined over every profile found, in the two
// shapes the rest of the system reads:
//
// - the History folder: one item per address and period, where the periods are each of the last
//   seven days and then each week before them (newest first), and the items of a period are
//   grouped by site (the address's host), sites by name, items by title;
// - the "visited" entries: per address and profile, the browser's visit count (its hit rate)
//   and the time of the last visit.
//
// Days are calendar days in the user's time zone, counted back from the day `now` falls on.
//
// Threads: a built UserHistory is immutable and may be read from any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "browser/history.h"
#include "platform/error.h"
#include "platform/file_time.h"

namespace tw {

inline constexpr uint32_t kDaysShownSingly = 7;

struct HistorySite {
  std::string name;
  std::vector<uint32_t> items;  // page indices (UserHistory::address, title)
};

struct HistoryPeriod {
  enum class Kind { kDay, kWeek };
  Kind kind = Kind::kDay;
  // kDay: days before today (0 = today .. 6); kWeek: weeks before those seven days (1 = the week
  // just before them).
  uint32_t age = 0;
  std::vector<HistorySite> sites;
};

struct VisitedEntry {
  uint32_t page = 0;
  uint32_t hits = 0;
  FileTime last_visit;  // zero when the browser recorded none
};

class UserHistory {
 public:
  UserHistory() = default;
  static UserHistory Build(std::span<const BrowserHistory> histories, FileTime now);

  const std::vector<HistoryPeriod>& periods() const { return periods_; }
  const std::vector<VisitedEntry>& visited() const { return visited_; }
  size_t page_count() const { return pages_.size(); }
  const std::string& address(uint32_t page) const { return pages_[page].address; }
  // The page's title as the browser keeps it; "" when it has none.
  const std::string& title(uint32_t page) const { return pages_[page].title; }
  // Items in the whole folder, over all periods.
  size_t item_count() const { return item_count_; }

 private:
  struct Page {
    std::string address;
    std::string title;
  };
  std::vector<Page> pages_;
  std::vector<HistoryPeriod> periods_;
  std::vector<VisitedEntry> visited_;
  size_t item_count_ = 0;
};

// The label of a period as the History tree shows it: "Today", "Yesterday", the weekday's name
// ("Monday"), then "Last Week", "2 Weeks Ago" ...; `today_weekday` is 0 for Sunday.
std::string PeriodLabel(const HistoryPeriod& period, int today_weekday);

// The history of every profile found. Profiles without history are passed over, and so is one
// whose database cannot be read while another's can; fails with the error of the first that
// could not be read when none could.
Result<UserHistory> ReadUserHistory(FileTime now);

}  // namespace tw
