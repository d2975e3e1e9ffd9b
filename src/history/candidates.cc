#include "history/candidates.h"

#include <algorithm>
#include <unordered_map>

#include "foundation/ascii.h"
#include "foundation/utf8.h"
#include "history/address_match.h"

namespace tw {
namespace {

constexpr std::string_view kHttpPrefix = "http";
constexpr double kSecondsPerDay = 86400;

bool CountsAsWebAddress(std::string_view address, AnalysisMode mode) {
  if (mode == AnalysisMode::kDetection) return StartsWithIgnoreCase(address, kHttpPrefix);
  return address.starts_with(kHttpPrefix);
}

bool IsStartPage(std::string_view address, std::span<const std::string> start_pages,
                 AnalysisMode mode) {
  return std::any_of(start_pages.begin(), start_pages.end(), [&](const std::string& start) {
    return mode == AnalysisMode::kDetection ? SameAddress(address, start) : address == start;
  });
}

// The key under which a visited entry meets its candidates.
std::string MatchKey(std::string_view address, AnalysisMode mode) {
  return mode == AnalysisMode::kDetection ? AddressKey(address) : AsciiLower(address);
}

}  // namespace

bool VisitedRecently(FileTime last_access, FileTime now) {
  if (last_access.IsZero()) return true;
  const double days = SecondsBetween(now, last_access) / kSecondsPerDay;
  return static_cast<int64_t>(days) <= kRecentVisitDays;
}

std::string DisplayName(const UserHistory& history, uint32_t page) {
  const std::string& title = history.title(page);
  return title.empty() ? history.address(page) : title;
}

std::optional<std::vector<HistoryCandidate>> FindFrequentPages(
    const UserHistory& history, std::span<const std::string> start_pages, AnalysisMode mode,
    const std::function<bool()>& stop) {
  std::vector<HistoryCandidate> candidates;
  // Candidates are one per address without regard to case.
  std::unordered_map<std::string, size_t> by_address;
  for (const HistoryPeriod& period : history.periods()) {
    if (stop && stop()) return std::nullopt;
    for (const HistorySite& site : period.sites) {
      for (uint32_t page : site.items) {
        const std::string& address = history.address(page);
        if (!CountsAsWebAddress(address, mode) || IsStartPage(address, start_pages, mode)) {
          continue;
        }
        auto [it, added] = by_address.try_emplace(AsciiLower(address), candidates.size());
        if (!added) {
          HistoryCandidate& known = candidates[it->second];
          if (known.repeats < UINT16_MAX) ++known.repeats;
          continue;
        }
        candidates.push_back(HistoryCandidate{
            CutUtf8Chars(DisplayName(history, page), kMaxCandidateTitleChars), address, 0, {}, 0});
      }
    }
  }
  std::erase_if(candidates, [](const HistoryCandidate& c) { return c.repeats < kMinRepeats; });

  // Several candidates may meet one visited entry ("http://a/x" and "http://a/x/").
  std::unordered_map<std::string, std::vector<size_t>> by_key;
  for (size_t i = 0; i < candidates.size(); ++i) {
    by_key[MatchKey(candidates[i].address, mode)].push_back(i);
  }
  for (const VisitedEntry& entry : history.visited()) {
    if (stop && stop()) return std::nullopt;
    const auto it = by_key.find(MatchKey(history.address(entry.page), mode));
    if (it == by_key.end()) continue;
    for (size_t index : it->second) {
      HistoryCandidate& c = candidates[index];
      // Detection adds up every browser's count; the automatic pass needs only the last visit.
      c.hits =
          mode == AnalysisMode::kDetection
              ? static_cast<uint32_t>(std::min<uint64_t>(uint64_t{c.hits} + entry.hits, UINT32_MAX))
              : entry.hits;
      c.last_access = std::max(c.last_access, entry.last_visit);
    }
  }
  return candidates;
}

}  // namespace tw
