// The visit history of one browser profile, read from its own database: Firefox's places.sqlite
// (moz_places and moz_historyvisits) or Chromium's History (urls and visits), from a private copy
// so that a running browser is never disturbed.
//
// Visits that the user did not make as a page view (Firefox: embedded and framed loads and
// downloads; Chromium: frames) are left out.
//
// Threads: any; each call reads the database anew.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "browser/profiles.h"
#include "platform/error.h"
#include "platform/file_time.h"

namespace tw {

// Caps on what one profile's history may bring.
inline constexpr uint64_t kMaxHistoryDatabaseBytes = 1ull << 30;
inline constexpr size_t kMaxHistoryPages = 1'000'000;
inline constexpr size_t kMaxHistoryVisits = 4'000'000;
// Longer addresses and titles are no page's; they are passed over, or cut.
inline constexpr size_t kMaxHistoryAddressBytes = 8192;
inline constexpr size_t kMaxHistoryTitleCharacters = 1024;

struct HistoryPage {
  std::string address;
  std::string title;     // "" when the browser has none
  uint32_t visit_count;  // the browser's own count of visits
  FileTime last_visit;   // zero when the browser never recorded one
};

struct HistoryVisit {
  uint32_t page;  // index into BrowserHistory::pages
  FileTime time;
};

struct BrowserHistory {
  std::vector<HistoryPage> pages;
  std::vector<HistoryVisit> visits;
};

// The history database of a profile: places.sqlite or History.
std::string HistoryDatabaseOf(const BrowserProfile& profile);

// Fails with 2 when the profile has no history database, 8 past a cap, 13 when the database is
// damaged or of a shape no browser version made.
Result<BrowserHistory> ReadHistory(const BrowserProfile& profile);

}  // namespace tw
