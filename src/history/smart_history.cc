#include "history/smart_history.h"

#include <algorithm>

#include "browser/browser_settings.h"
#include "history/address_match.h"
#include "resources/strings.h"

namespace tw {
namespace {

bool Stopping(const std::function<bool()>& stop) { return stop && stop(); }

bool IsAnyStartPage(std::string_view address, std::span<const std::string> start_pages) {
  return std::any_of(start_pages.begin(), start_pages.end(),
                     [address](const std::string& start) { return SameAddress(address, start); });
}

bool IsKnown(UrlCache& marks, std::string_view address) {
  Result<bool> known = marks.IsMarked(address);
  // A mark that cannot be read is no reason to propose a page twice.
  return !known.ok() || *known;
}

// Whether the history says the address is visited often enough to be proposed on navigation.
bool QualifiesOnNavigation(const Navigation& navigation, const NavigationContext& context) {
  if (IsAnyStartPage(navigation.address, context.start_pages)) return false;
  if (!context.history) return false;
  if (!VisitedRecently(context.history->LastVisit(navigation.address), context.now)) return false;
  // The browser has just loaded the page, so today has an item for it even before the browser
  // has written the visit down.
  uint32_t items = context.history->ItemCount(navigation.address);
  if (!context.history->HasItemToday(navigation.address)) ++items;
  return items >= kMinNavigationItems;
}

}  // namespace

AutoSh ReadAutoSh(const SettingsStore& store) {
  Result<uint32_t> value = store.ReadDword(LoadString(str::kOptionsKey), kAutoShValue);
  if (!value.ok() || *value > static_cast<uint32_t>(AutoSh::kDoNotNotify)) return AutoSh::kDetect;
  return static_cast<AutoSh>(*value);
}

Error WriteAutoSh(SettingsStore& store, AutoSh value) {
  return store.WriteDword(LoadString(str::kOptionsKey), kAutoShValue, static_cast<uint32_t>(value));
}

NavigationOutcome DecideNavigation(const Navigation& navigation, const NavigationContext& context,
                                   UrlCache& marks, SmartHistoryPages& pages,
                                   const std::function<bool()>& stop) {
  if (!context.active || Stopping(stop)) return NavigationOutcome::kIgnored;
  for (const WatchedPage& page : context.pages) {
    if (!SameAddress(page.address, navigation.address)) continue;
    if (page.updated) pages.ClearUpdated(page);
    return NavigationOutcome::kWatchedPage;
  }
  if (IsKnown(marks, navigation.address)) return NavigationOutcome::kKnown;
  if (!QualifiesOnNavigation(navigation, context)) return NavigationOutcome::kNotFrequent;
  if (Stopping(stop)) return NavigationOutcome::kIgnored;

  // Marked first, so that a second navigation meanwhile finds it known.
  (void)marks.Mark(navigation.address);
  switch (context.auto_sh) {
    case AutoSh::kDoNotNotify:
      return NavigationOutcome::kKeptKnown;
    case AutoSh::kAddAutomatically:
      if (pages.AddPage(navigation.title, navigation.address) ==
          SmartHistoryPages::AddResult::kAdded) {
        return NavigationOutcome::kAdded;
      }
      break;  // proposed instead, where the user can settle title and address
    case AutoSh::kDetect:
      break;
  }
  if (pages.Propose(navigation.title, navigation.address)) return NavigationOutcome::kProposed;
  (void)marks.Unmark(navigation.address);
  return NavigationOutcome::kProposalFailed;
}

size_t RunAutomaticPass(const UserHistory& history, std::span<const std::string> start_pages,
                        FileTime now, UrlCache& marks, SmartHistoryPages& pages,
                        const std::function<bool()>& stop) {
  std::optional<std::vector<HistoryCandidate>> candidates =
      FindFrequentPages(history, start_pages, AnalysisMode::kAutomaticPass, stop);
  if (!candidates) return 0;
  size_t added = 0;
  for (const HistoryCandidate& candidate : *candidates) {
    if (Stopping(stop)) break;
    if (!VisitedRecently(candidate.last_access, now)) continue;
    Result<bool> known = marks.IsMarked(candidate.address);
    if (!known.ok() || *known) continue;
    (void)marks.Mark(candidate.address);
    if (pages.AddPage(candidate.title, candidate.address) == SmartHistoryPages::AddResult::kAdded) {
      ++added;
    } else {
      (void)marks.Unmark(candidate.address);
    }
  }
  return added;
}

void RunDetectionOver(const UserHistory& history, std::span<const std::string> start_pages,
                      FileTime now, const DetectionReceiver& receiver,
                      const std::function<bool()>& stop) {
  std::optional<std::vector<HistoryCandidate>> candidates =
      FindFrequentPages(history, start_pages, AnalysisMode::kDetection, stop);
  if (!candidates) return;
  bool any = false;
  for (HistoryCandidate& candidate : *candidates) {
    if (Stopping(stop)) return;
    if (!VisitedRecently(candidate.last_access, now)) continue;
    receiver(DetectionReport::kCandidate, std::move(candidate));
    any = true;
  }
  if (Stopping(stop)) return;
  receiver(any ? DetectionReport::kFound : DetectionReport::kNothingFound, std::nullopt);
}

void RunDetection(const DetectionReceiver& receiver, FileTime now,
                  const std::function<bool()>& stop) {
  const std::vector<std::string> start_pages = UserStartPages();
  if (Stopping(stop)) return;
  receiver(DetectionReport::kStarted, std::nullopt);
  Result<UserHistory> history = ReadUserHistory(now);
  if (Stopping(stop)) return;
  if (!history.ok()) {
    receiver(DetectionReport::kFailed, std::nullopt);
    return;
  }
  RunDetectionOver(*history, start_pages, now, receiver, stop);
}

bool HistoryKeptShort() {
  const std::optional<uint32_t> days = UserHistoryDays();
  return days && *days < kShortHistoryDays;
}

Error ResetSmartHistory(UrlCache& marks, std::span<const std::string> page_addresses) {
  return marks.UnmarkAllExcept(page_addresses);
}

}  // namespace tw
