// Smart History: the decisions that find pages the user visits often and propose them for
// watching, apart from any thread, so that they can be tested and timed on their own.
//
// - DecideNavigation: the browser has loaded an address; is it a frequently visited page that is
//   not known yet, and what then (by AutoSh: propose it, add it, or only remember it).
// - RunAutomaticPass: every frequently visited page of the history that is not known yet is
//   added.
// - RunDetection: the frequently visited pages of the history, reported one by one to the Smart
//   History window, framed by its status reports.
//
// An address Smart History has processed is remembered as known (the URL cache marks of
// platform/url_cache.h, shared by every process of the user), so that it is proposed once; adding
// a page marks its address too. ResetSmartHistory forgets every known address that is no page.
//
// Threads: the functions run on the caller's thread and call its SmartHistoryPages there.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "browser/user_history.h"
#include "history/candidates.h"
#include "history/navigation_index.h"
#include "platform/error.h"
#include "platform/file_time.h"
#include "platform/settings_store.h"
#include "platform/url_cache.h"

namespace tw {

// The user's choice of what Smart History does with a page it finds (the AutoSH setting).
enum class AutoSh : uint32_t { kDetect = 0, kAddAutomatically = 1, kDoNotNotify = 2 };
inline constexpr std::string_view kAutoShValue = "AutoSH";

// AutoSH from the options key of the store; a missing or unreadable value, or one above 2, is
// kDetect.
AutoSh ReadAutoSh(const SettingsStore& store);
Error WriteAutoSh(SettingsStore& store, AutoSh value);

// A watched page as Smart History keeps it.
struct WatchedPage {
  std::string title;
  std::string address;
  bool updated = false;
};

// What Smart History asks of the pages.
class SmartHistoryPages {
 public:
  virtual ~SmartHistoryPages() = default;
  enum class AddResult { kAdded, kNeedsDialog, kFailed };
  // The user has now seen the page: clear its updated flag.
  virtual void ClearUpdated(const WatchedPage& page) = 0;
  // Adds a page without a dialog (the title rules apply; a taken title is numbered).
  virtual AddResult AddPage(const std::string& title, const std::string& address) = 0;
  // Queues the page for the proposal dialog; false when it could not be handed on.
  virtual bool Propose(const std::string& title, const std::string& address) = 0;
};

// The browser has finished loading a page (its top-level document).
struct Navigation {
  std::string address;
  std::string title;  // as the browser names the page; "" when it has none
};

// What the worker knows when a navigation arrives.
struct NavigationContext {
  bool active = true;
  AutoSh auto_sh = AutoSh::kDetect;
  std::span<const WatchedPage> pages;
  std::span<const std::string> start_pages;  // read again for every navigation
  const NavigationIndex* history = nullptr;
  FileTime now;
};

enum class NavigationOutcome {
  kIgnored,         // not active, or stopping
  kWatchedPage,     // a watched page (its updated flag cleared when it was set)
  kKnown,           // an address already known
  kNotFrequent,     // a start page, not visited lately, or too few History items
  kAdded,           // added as a page
  kProposed,        // queued for the proposal dialog
  kKeptKnown,       // remembered as known, and nothing more (AutoSh::kDoNotNotify)
  kProposalFailed,  // the proposal could not be queued; the address is forgotten again
};

// Items an address needs in the History folder to count as visited often on navigation.
inline constexpr uint32_t kMinNavigationItems = 3;

// Decides on one navigation, step by step: a watched page has its updated flag cleared; a known
// address is left; a start page, an address last visited more than kRecentVisitDays ago or one
// with fewer than kMinNavigationItems History items does not qualify (the navigation itself is
// today's item, whether or not the browser has written it yet); a qualifying one is marked known
// and then proposed, added (proposed when adding fails) or only kept known, as AutoSh says.
NavigationOutcome DecideNavigation(const Navigation& navigation, const NavigationContext& context,
                                   UrlCache& marks, SmartHistoryPages& pages,
                                   const std::function<bool()>& stop);

// Adds every frequently visited page of the history visited lately and not yet known: each is
// marked known and added, and forgotten again when the add fails. Returns how many were added.
size_t RunAutomaticPass(const UserHistory& history, std::span<const std::string> start_pages,
                        FileTime now, UrlCache& marks, SmartHistoryPages& pages,
                        const std::function<bool()>& stop);

// What the detection tells the Smart History window, with the numbers it carries.
enum class DetectionReport : uint32_t {
  kCandidate = 0,     // one frequently visited page (with it)
  kStarted = 1,       // "Processing Smart History, Please Wait..."
  kFound = 2,         // finished, and pages were delivered
  kNothingFound = 3,  // "Could not find any frequently visited pages."
  kFailed = 4,        // "An error occurred while loading your web page history."
};
using DetectionReceiver =
    std::function<void(DetectionReport report, std::optional<HistoryCandidate> candidate)>;

// Detection over the user's browsers (browser/user_history.h): reports kStarted, then every
// candidate visited lately, then kFound or kNothingFound; kFailed when the history cannot be
// read. Once `stop` says so, nothing more is reported.
void RunDetection(const DetectionReceiver& receiver, FileTime now,
                  const std::function<bool()>& stop);
// The same over a history already read.
void RunDetectionOver(const UserHistory& history, std::span<const std::string> start_pages,
                      FileTime now, const DetectionReceiver& receiver,
                      const std::function<bool()>& stop);

// Days of history below which the Smart History window advises keeping more.
inline constexpr uint32_t kShortHistoryDays = 30;
// Whether the browsers keep their history for fewer than kShortHistoryDays days, where they say.
bool HistoryKeptShort();

// Forgets every known address that is not the address of one of `page_addresses` (compared
// exactly), so that Smart History may propose it again.
Error ResetSmartHistory(UrlCache& marks, std::span<const std::string> page_addresses);

}  // namespace tw
