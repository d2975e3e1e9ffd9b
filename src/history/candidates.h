// The pages of the History folder that the user visits often: the analysis behind the detection
// for the Smart History window and the full automatic pass.
//
// The History folder is walked period by period, site by site; every item whose address begins
// with "http" and is not a start page counts for its address, the first making it a candidate and
// each further one a repeat. Candidates repeated fewer than kMinRepeats times are dropped; the
// rest take the hit rates and last visits of the browsers' visited entries for their address.
// Detection compares case-insensitively and lets a final "/" differ (SameAddress); the automatic
// pass takes the "http" prefix and the start pages exactly and matches visited entries only when
// equal without regard to case.
//
// Threads: any; pure functions of their input.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "browser/user_history.h"
#include "platform/file_time.h"

namespace tw {

// A candidate needs this many History items beyond its first.
inline constexpr uint16_t kMinRepeats = 3;
// A page last visited longer ago than this is not proposed.
inline constexpr int64_t kRecentVisitDays = 15;
// The title of a candidate: the display name of its first item, cut to this many characters.
inline constexpr size_t kMaxCandidateTitleChars = 252;

struct HistoryCandidate {
  std::string title;
  std::string address;
  uint32_t hits = 0;
  FileTime last_access;  // zero when no visited entry matched
  uint16_t repeats = 0;  // further History items with the same address
};

enum class AnalysisMode { kDetection, kAutomaticPass };

// Whether a page last visited at `last_access` counts as visited lately: never recorded, or at
// most kRecentVisitDays whole days before now.
bool VisitedRecently(FileTime last_access, FileTime now);

// The display name of a History item: the page's title, else its address.
std::string DisplayName(const UserHistory& history, uint32_t page);

// The candidates of the history in the order their first items were met, with their hits and
// last access; those not visited recently are still included (the caller decides). nullopt when
// `stop` said to stop.
std::optional<std::vector<HistoryCandidate>> FindFrequentPages(
    const UserHistory& history, std::span<const std::string> start_pages, AnalysisMode mode,
    const std::function<bool()>& stop);

}  // namespace tw
