// Application: the one facade of a Tidewell process. Every front end (the command line, the
// service, the native host) calls it and nothing below it, so that each thing is done one way.
//
// Shared objects. The application keeps the process's four shared-object holders: the page
// database with its threads, the options watcher, the Smart History worker and the notification
// thread (the last keeps a place for its worker, which does not exist yet). A Window (an
// open UI connection, the extension's port) holds all four while it lives: the first window
// starts them, the last one to close stops them. The page database holds the options watcher for
// its own lifetime.
//
// Operations take and return values (values.h); a failure comes back as the exact message a
// front end shows. Operations that act on one page work on the page folder's files, with or
// without a window; adding through the Add Page dialog, quiet adds, imports and Check Now need
// the page database, so they need a window. The one-shot operations (AddPageAtOnce,
// OpenPageFile, RefreshAllPages) are the command line's: each builds a private page database for
// the call and needs no window.
//
// Events. Subscribe hands out an RAII subscription; the page database's events reach it as values
// (events.h) while a window holds the database.
//
// Threads: every member may be called from any thread, and several at once, except that the
// destructor runs once every Window and Subscription is gone. Event handlers run on the page
// database's thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/events.h"
#include "app/values.h"
#include "notify/window_start.h"
#include "platform/error.h"
#include "settings/option_schema.h"
#include "settings/user_settings.h"

namespace tw::app {

// The option schema, as front ends see it.
using tw::CheckingOptionDefinitions;
using tw::FindOptionDefinition;
using tw::OptionDefinition;
using tw::OptionKind;
using tw::OptionState;
using tw::StoredValueText;
// The user settings, as front ends see them.
using tw::FindUserSetting;
using tw::SettingDefinition;
using tw::SettingType;
using tw::WindowSetting;
// What a window opened for the user shows first.
using tw::WindowStart;

struct AppConfig {
  // The settings store; when unset, the user's own, opened when first needed.
  std::optional<std::string> settings_path;
  // The length of one minute of the online schedule (tests shorten it).
  std::chrono::milliseconds schedule_minute = std::chrono::minutes(1);
  // The tidewell program that run-on-startup and the offline schedule start; when unset, the
  // running program.
  std::optional<std::string> program;
};

// What a one-shot check pass tells a progress display.
class RefreshObserver {
 public:
  virtual ~RefreshObserver() = default;
  // The page folder, once found, before the check begins.
  virtual void OnPageFolder(const std::string& folder) = 0;
  // This check got the folder's lock and has begun. Called on the check thread.
  virtual void OnCheckingStarted() = 0;
};

class Application {
 public:
  class Window;
  class Subscription;
  class Detection;
  class Core;  // the inside, known to the facade's own files only

  explicit Application(AppConfig config = {});
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // --- Shared objects -------------------------------------------------------------------------

  // Holds the shared objects, starting them when this is the first window. Fails with the
  // internal-error message when the page database cannot start.
  Outcome<Window> OpenWindow();
  bool page_database_running() const;

  // --- Pages ----------------------------------------------------------------------------------

  // Every page: from the running page database's list, else read from the page folder.
  Outcome<PageList> ListPages();
  Outcome<Page> GetPage(std::string_view title);
  // The Add Page dialog's add: the address rules, the title rules and the duplicate test, in that
  // order; an empty title is made from the address and "http://" put in front of an address
  // without it. The page is added by the page database's request thread; RequestDone follows.
  Outcome<AddedPage> AddPage(const NewPage& page);
  // A page handed over without a dialog (a dropped shortcut, an import, a proposal): the title is
  // cut to fit and numbered "2" to "9" when taken. When no title is free or a rule fails, the
  // answer asks for the Add Page dialog instead.
  Outcome<QuietAdd> AddPageQuietly(std::string_view title, std::string_view address);
  // Add Current Page, the page the browser shows: a browser that gave no address fails with the
  // browser message. The title (the address without "http://" or "https://" when empty) is made
  // usable as a file name and cut to fit. With ConfirmAC on, the answer asks for the dialog in
  // current-page mode; off, the page is added as AddPage adds it when the address rules, title
  // rules and the duplicate test pass, and the answer asks for the dialog in plain mode when not.
  Outcome<CurrentPageAdd> AddCurrentPage(const CurrentPage& page);
  // Copies a page file from elsewhere into the page folder (a request; RequestDone follows).
  Outcome<uint64_t> ImportPageFile(const std::string& path);
  // What was dropped on the page list, or handed to the window, taken in order: an Internet
  // shortcut (".url") is added quietly under its file's name, a page file (".twp") is imported,
  // any other file is skipped. A shortcut without an address, or a file that cannot be added or
  // imported, ends the walk.
  Outcome<DropResult> DropFiles(const std::vector<DroppedFile>& files);
  // A dropped text: a page file's path (".twp") is imported; an address is added quietly with a
  // title made from it; anything else adds nothing.
  Outcome<DropResult> DropText(std::string_view text);
  // Renames a page: the invalid-title message for an empty, too long or invalid title, nothing
  // for the same title, the taken message for another page's title (letter case aside, unless
  // only the case changes).
  Outcome<Done> RenamePage(std::string_view title, std::string_view new_title);
  Outcome<Done> DeletePage(std::string_view title, DeleteMode mode);
  // The page starts over with its address alone.
  Outcome<Done> ResetPage(std::string_view title);
  // The Properties dialog's OK: every check of the dialog, then a rename and new settings (which
  // make the page start over); nothing is written when nothing changed.
  Outcome<Done> SetPageProperties(const PageProperties& properties);
  // The Smart Update Wizard's Finish: new settings from the answer; the page always starts over.
  Outcome<Done> RunSmartUpdateWizard(std::string_view title, WizardAnswer answer,
                                     int64_t wait_minutes);
  // Clears the updated flag of an updated page; a page that is not updated is left alone.
  Outcome<Done> ClearUpdated(std::string_view title);
  // Clears the page's updated flag, then opens its address in the user's browser.
  Outcome<Done> OpenPage(std::string_view title);
  size_t MaxTitleLength();

  // --- Page versions --------------------------------------------------------------------------

  // The page's earlier versions, newest first (none yet: an empty list).
  Outcome<std::vector<PageVersion>> ListPageVersions(std::string_view title);
  // What changed since an earlier version of the page (by its id; none: the newest): the
  // visible text word by word without the parts that change on every download, and the HTML.
  // A page without earlier versions has nothing to show (kNoEarlierVersion).
  Outcome<PageChanges> ShowChanges(std::string_view title, std::optional<int64_t> version_id);

  // --- Tell a Friend ---------------------------------------------------------------------------

  // The dialog's fields as it opens: the remembered sender, no friend yet, the HTML format.
  Outcome<FriendMessage> OpenTellAFriend();
  // OK: the fields are cut to their limits and checked in their order; the first problem is the
  // message to show, with the field to put the focus on. A sound message remembers its sender
  // and gives the recommendation address (the service's, else a mailto: address to the friend),
  // opened here or only handed back as `delivery` says.
  Outcome<std::string> SendTellAFriend(const FriendMessage& message,
                                       RecommendationDelivery delivery);
  // "Import": the contacts of a vCard file that have an e-mail address, in file order, each cut
  // to what the dialog's fields hold. Failures are the address book message.
  Outcome<ContactList> ImportVCardContacts(const std::string& path);
  // The same for a vCard file's text that the user picked in a web page.
  Outcome<ContactList> ImportVCardText(std::string_view text);
  // "Import MAPI": the contacts of the mail program's address book (Thunderbird's default
  // profile), sorted by name, to pick from.
  Outcome<ContactList> ImportAddressBookContacts();

  // --- Checking -------------------------------------------------------------------------------

  // A check of all pages now (needs a window).
  Outcome<Done> CheckNow();
  // Asks the check running on the page folder, in any process, to stop.
  Outcome<Done> StopChecking();
  // Whether a check pass runs on the page folder, as the page database last saw.
  bool IsChecking() const;

  // --- Events ---------------------------------------------------------------------------------

  // A new subscriber with kPageEvents is told at once of loading, every page and, with
  // kCheckingEvents, the checking state; then of every event of its classes.
  Subscription Subscribe(uint32_t classes, EventHandler handler);

  // --- Smart History ---------------------------------------------------------------------------
  //
  // The Smart History worker runs while a window holds the shared objects. Pages it proposes
  // wait here (SmartHistoryProposals) and are announced to kSmartHistoryEvents subscribers.

  // The browser has finished loading a page (its top-level document): the worker clears the
  // updated flag of a watched page there, or decides whether to propose the address.
  Outcome<Done> NavigatedTo(std::string_view address, std::string_view title);
  // The full automatic pass: every frequently visited page not yet known is added.
  Outcome<Done> RunSmartHistoryPass();
  // Whether the worker acts on navigations (on by default); it takes the change with the next
  // option change it hears of, or at once when told here.
  void SetSmartHistoryActive(bool active);
  std::vector<ProposedPage> SmartHistoryProposals();
  // The Smart History dialog's OK: the choice of AutoSH is stored when given, the checked pages
  // are added in order (see ProposalResult), and the proposals are settled: pages not checked
  // stay known and are not proposed again. A failed add forgets its address and ends the adding
  // with its message.
  Outcome<ProposalResult> AnswerSmartHistoryProposals(const ProposalAnswer& answer);
  // The Add Page dialog opened for a proposal was cancelled: the address is forgotten again.
  Outcome<Done> ForgetProposedPage(std::string_view address);
  // Forgets every address Smart History knows that is not a page's.
  Outcome<Done> ResetSmartHistory();
  // Whether the browsers keep their history for fewer than 30 days, where they say.
  bool HistoryKeptShort();
  AutoSh SmartHistoryMode();
  // Runs the detection for the Smart History window on a thread of its own; `report` is called
  // there with each report and candidate until the detection ends or the Detection goes.
  using DetectionHandler =
      std::function<void(DetectionReport report, std::optional<HistoryCandidate> candidate)>;
  Detection StartDetection(DetectionHandler report);

  // --- Import ----------------------------------------------------------------------------------

  // Fills the Favorites or History tree afresh (the Favorites one with `added` beside the
  // browsers' bookmarks) and keeps it for AddImportEntries under the token it returns; the
  // latest kKeptImportTrees fills are kept. A tree that could not be filled whole carries the
  // message to show in its fill_error.
  static constexpr size_t kKeptImportTrees = 16;
  FilledImportTree FillImportTree(ImportSource source, const AddedFavorites& added = {});
  // Checks exactly the entries `checked` names in the tree kept under `token`, then adds the
  // checked ones as the Add Page dialog adds; entries added before stay added. An internal error
  // when no tree is kept under the token (never filled, or long forgotten).
  Outcome<ImportAddResult> AddImportEntries(uint64_t token, const std::vector<uint32_t>& checked);

  // --- One-shot operations of the command line -------------------------------------------------

  // Adds one page with the new-page defaults, at once: without a title, the title is made from
  // the address; an address that begins with neither "http://" nor "https://" (compared with
  // case) gets "http://" in front. A taken title is numbered "2" to "9". The title the page got.
  Outcome<std::string> AddPageAtOnce(std::string_view address, std::string_view title);
  // Opens the address of the page file at `path` in the browser; the updated flag stays.
  Outcome<Done> OpenPageFile(const std::string& path);
  // One check of all pages, returning when it has ended; a check running in another process
  // keeps the pages. The failure's error when it could not run.
  Error RefreshAllPages(RefreshObserver* observer);
  // One page file as stored, by its path.
  Outcome<StoredPage> ReadPageFile(const std::string& path);

  // --- Options --------------------------------------------------------------------------------

  Outcome<std::vector<OptionState>> DescribeOptions();
  // Stores the option's value given as text (the command line's words); kInvalidValue when the
  // text is not a value of the option.
  Outcome<Done> SetOptionFromText(const OptionDefinition& option, std::string_view text);
  Outcome<Done> UnsetOption(const OptionDefinition& option);
  // Where the settings are kept, for messages.
  std::string settings_path();

  // --- User settings --------------------------------------------------------------------------

  static std::span<const SettingDefinition> SettingsSchema();
  // Every user setting in force (the page folder in use for PDB when none is stored).
  Outcome<std::vector<SettingsValue>> GetSettings();
  // Stores what a window changed: every value is checked first (the options sheet's messages),
  // then all are written at once, or none. TaskPad is written from the program's own window only.
  Outcome<Done> SetSettings(WindowSetting setting, std::vector<SettingsValue> values);
  bool IsFirstRun();

  // Run on startup: an autostart entry for the user or for all users.
  bool IsRunOnStartup();
  // On: makes the user's entry unless one exists. Off: removes the user's entry; when the entry
  // is for all users, asks first (`remove_for_all_users` unset) and removes it only on yes.
  Outcome<StartupChange> SetRunOnStartup(bool enabled, std::optional<bool> remove_for_all_users);

  // --- Offline schedule -----------------------------------------------------------------------

  Outcome<ScheduleState> GetOfflineSchedule();
  // Puts the schedule that runs `tidewell /r` in place, or removes it.
  Outcome<Done> SetOfflineSchedule(const std::optional<OfflineSchedule>& schedule);

  // --- Folders --------------------------------------------------------------------------------

  // The folders inside `path` (empty: the page folder, else the home folder).
  Outcome<FolderListing> ListFolders(const FolderQuery& query);

  // --- Notification ---------------------------------------------------------------------------

  // A window's answer to a kShowUpdatedPages or kShowErrors event: the dialog was closed. An
  // answer to a dialog no longer shown is ignored.
  Outcome<Done> AnswerNotification(uint64_t dialog_id, std::optional<std::string> chosen_title,
                                   bool do_not_show_again);
  // Pages that became updated and errors are announced while a subscriber shows the notification
  // dialogs (kNotificationEvents); with this on, also when none does, on the desktop (a service
  // that runs in the background). Otherwise they wait: error files stay in the page folder.
  void ShowNotificationsOnDesktop(bool on);
  // How the notification opens a window when the user acts on a desktop notification (the
  // service opens its address in the browser), showing what `start` names first. The opener
  // returns false when it cannot.
  void SetWindowOpener(std::function<bool(const WindowStart& start)> opener);

 private:
  Outcome<uint64_t> ImportStagedFile(const std::string& path);
  std::unique_ptr<Core> core_;
};

// A window's hold on the shared objects; releases them when destroyed.
class Application::Window {
 public:
  Window(Window&&) noexcept;
  Window& operator=(Window&&) noexcept;
  ~Window();

 private:
  friend class Application;
  struct Held;
  explicit Window(std::unique_ptr<Held> held);
  std::unique_ptr<Held> held_;
};

// A detection under way; stops it (and waits for its thread) when destroyed.
class Application::Detection {
 public:
  Detection() = default;
  Detection(Detection&&) noexcept;
  Detection& operator=(Detection&&) noexcept;
  ~Detection();
  // Whether it has reported its end.
  bool finished() const;

 private:
  friend class Application;
  struct Run;
  explicit Detection(std::unique_ptr<Run> run);
  std::unique_ptr<Run> run_;
};

// An event subscription; no handler call runs after its destruction has returned.
class Application::Subscription {
 public:
  Subscription() = default;
  Subscription(Subscription&& other) noexcept;
  Subscription& operator=(Subscription&& other) noexcept;
  ~Subscription();
  void Reset();

 private:
  friend class Application;
  Subscription(Core* core, uint64_t id) : core_(core), id_(id) {}
  Core* core_ = nullptr;
  uint64_t id_ = 0;
};

// For SIGINT and SIGTERM handlers: every check pass of the process, running or still to come,
// ends at its next stop test, leaving every page file whole. Async-signal-safe.
void InterruptChecksFromSignal();

}  // namespace tw::app
