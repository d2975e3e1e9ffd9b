#include "browser/user_history.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "foundation/ascii.h"
#include "platform/url.h"

namespace tw {
namespace {

constexpr const char* kWeekdays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};

// Periods numbered from the newest: days 0 to 6, then week 1 as 7, week 2 as 8 ...
uint32_t PeriodIndexOf(int64_t days_ago) {
  if (days_ago < 0) days_ago = 0;  // a visit "in the future": the clock was set back since
  if (days_ago < kDaysShownSingly) return static_cast<uint32_t>(days_ago);
  const int64_t week = (days_ago - kDaysShownSingly) / kDaysShownSingly + 1;
  return static_cast<uint32_t>(std::min<int64_t>(kDaysShownSingly - 1 + week, UINT32_MAX));
}

HistoryPeriod PeriodOf(uint32_t index) {
  if (index < kDaysShownSingly) return HistoryPeriod{HistoryPeriod::Kind::kDay, index, {}};
  return HistoryPeriod{HistoryPeriod::Kind::kWeek, index - (kDaysShownSingly - 1), {}};
}

// Every time zone is a whole number of quarter hours from UTC, so a local day never begins inside
// a quarter hour.
constexpr int64_t kBucketSeconds = 15 * 60;

int64_t BucketOf(FileTime t) {
  const int64_t seconds = t.ToUnixSeconds();
  return seconds / kBucketSeconds - (seconds % kBucketSeconds < 0 ? 1 : 0);
}

// The site an address belongs to: its host, else its scheme (file, about ...).
std::string SiteOf(std::string_view address) {
  Result<UrlParts> parts = CrackUrl(address);
  if (parts.ok() && !parts->host.empty()) return AsciiLower(parts->host);
  const size_t colon = address.find(':');
  return AsciiLower(address.substr(0, colon == std::string_view::npos ? 0 : colon));
}

}  // namespace

std::string PeriodLabel(const HistoryPeriod& period, int today_weekday) {
  if (period.kind == HistoryPeriod::Kind::kDay) {
    if (period.age == 0) return "Today";
    if (period.age == 1) return "Yesterday";
    const int weekday = ((today_weekday - static_cast<int>(period.age)) % 7 + 7) % 7;
    return kWeekdays[weekday];
  }
  if (period.age == 1) return "Last Week";
  return std::to_string(period.age) + " Weeks Ago";
}

UserHistory UserHistory::Build(std::span<const BrowserHistory> histories, FileTime now) {
  UserHistory built;
  size_t total_pages = 0;
  for (const BrowserHistory& h : histories) total_pages += h.pages.size();
  // Reserved up front, so that the addresses the index below points into never move.
  built.pages_.reserve(total_pages);
  std::unordered_map<std::string_view, uint32_t> index_of;
  index_of.reserve(total_pages);

  const int64_t today = LocalDayOf(now).number;
  // Visits crowd into few days; the local calendar is asked once per quarter of an hour.
  std::unordered_map<int64_t, int64_t> day_of_bucket;
  std::unordered_set<uint64_t> items;  // period index << 32 | page
  for (const BrowserHistory& history : histories) {
    std::vector<uint32_t> pooled(history.pages.size());
    for (size_t i = 0; i < history.pages.size(); ++i) {
      const HistoryPage& page = history.pages[i];
      const auto it = index_of.find(page.address);
      if (it == index_of.end()) {
        pooled[i] = static_cast<uint32_t>(built.pages_.size());
        built.pages_.push_back(Page{page.address, page.title});
        index_of.emplace(built.pages_.back().address, pooled[i]);  // a view of the stored copy
      } else {
        pooled[i] = it->second;
        if (built.pages_[pooled[i]].title.empty()) built.pages_[pooled[i]].title = page.title;
      }
      if (page.visit_count > 0 || !page.last_visit.IsZero()) {
        built.visited_.push_back(VisitedEntry{pooled[i], page.visit_count, page.last_visit});
      }
    }
    for (const HistoryVisit& visit : history.visits) {
      if (visit.time.IsZero() || visit.page >= pooled.size()) continue;
      auto [day, fresh] = day_of_bucket.try_emplace(BucketOf(visit.time), 0);
      if (fresh) day->second = LocalDayOf(visit.time).number;
      const uint64_t period = PeriodIndexOf(today - day->second);
      items.insert(period << 32 | pooled[visit.page]);
    }
  }

  // Group the items: periods from the newest, sites by name, pages by title then address.
  std::vector<uint64_t> ordered(items.begin(), items.end());
  std::sort(ordered.begin(), ordered.end());
  std::vector<std::string> site_of(built.pages_.size());
  for (size_t i = 0; i < ordered.size();) {
    const uint32_t period_index = static_cast<uint32_t>(ordered[i] >> 32);
    HistoryPeriod period = PeriodOf(period_index);
    std::map<std::string, std::vector<uint32_t>> sites;
    for (; i < ordered.size() && (ordered[i] >> 32) == period_index; ++i) {
      const uint32_t page = static_cast<uint32_t>(ordered[i]);
      if (site_of[page].empty()) site_of[page] = SiteOf(built.pages_[page].address);
      sites[site_of[page]].push_back(page);
      ++built.item_count_;
    }
    for (auto& [name, pages] : sites) {
      std::sort(pages.begin(), pages.end(), [&built](uint32_t a, uint32_t b) {
        const Page& pa = built.pages_[a];
        const Page& pb = built.pages_[b];
        return std::tie(pa.title, pa.address) < std::tie(pb.title, pb.address);
      });
      period.sites.push_back(HistorySite{name, std::move(pages)});
    }
    built.periods_.push_back(std::move(period));
  }
  return built;
}

Result<UserHistory> ReadUserHistory(FileTime now) {
  std::vector<BrowserHistory> histories;
  Error first_failure;
  for (const BrowserProfile& profile : FindBrowserProfiles()) {
    Result<BrowserHistory> history = ReadHistory(profile);
    if (history.ok()) {
      histories.push_back(std::move(*history));
    } else if (history.error().code() != err::kFileNotFound && !first_failure) {
      first_failure = history.error();
    }
  }
  if (histories.empty() && first_failure) return first_failure;
  return UserHistory::Build(histories, now);
}

}  // namespace tw
