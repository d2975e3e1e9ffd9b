#include "history/navigation_index.h"

#include <algorithm>

namespace tw {

NavigationIndex::NavigationIndex(const UserHistory& history) {
  stats_.reserve(history.page_count());
  for (const HistoryPeriod& period : history.periods()) {
    const bool today = period.kind == HistoryPeriod::Kind::kDay && period.age == 0;
    for (const HistorySite& site : period.sites) {
      for (uint32_t page : site.items) {
        Stats& stats = stats_[history.address(page)];
        ++stats.items;
        stats.today = stats.today || today;
      }
    }
  }
  for (const VisitedEntry& entry : history.visited()) {
    Stats& stats = stats_[history.address(entry.page)];
    stats.last_visit = std::max(stats.last_visit, entry.last_visit);
  }
}

const NavigationIndex::Stats* NavigationIndex::Find(std::string_view address) const {
  // Heterogeneous lookup needs a transparent hash; a copy of one address is cheap enough.
  const auto it = stats_.find(std::string(address));
  return it == stats_.end() ? nullptr : &it->second;
}

uint32_t NavigationIndex::ItemCount(std::string_view address) const {
  const Stats* stats = Find(address);
  return stats ? stats->items : 0;
}

bool NavigationIndex::HasItemToday(std::string_view address) const {
  const Stats* stats = Find(address);
  return stats && stats->today;
}

FileTime NavigationIndex::LastVisit(std::string_view address) const {
  const Stats* stats = Find(address);
  return stats ? stats->last_visit : FileTime{};
}

}  // namespace tw
