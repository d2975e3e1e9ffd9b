// The values that go in and out of the application facade (application.h): pages as a front end
// shows them, the facade's answers, and the user-facing message that every failure carries, so
// that the command line, the service and the UI all show the same text with the same icon.
//
// Plain values: copied freely, safe to hand to any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "friend/contact.h"
#include "friend/message.h"
#include "history/candidates.h"
#include "history/import_tree.h"
#include "history/smart_history.h"
#include "platform/error.h"
#include "platform/file_time.h"
#include "platform/offline_schedule.h"
#include "versions/page_diff.h"

namespace tw::app {

// The icon of a message box.
enum class Icon { kNone, kError, kWarning, kInformation, kQuestion };

// What went wrong, as a stable word for machines (ProblemName).
enum class Problem {
  kAddressRequired,        // "An address is required to add a page."
  kInvalidAddress,         // "This is an invalid URL."
  kNotHttp,                // "Only HTTP URL's are supported."
  kInvalidTitle,           // the invalid-title message
  kTitleTaken,             // "A page with this title already exists."
  kOutOfRange,             // "Please enter a value between %d and %d.", filled in
  kTooLong,                // "Please enter a length less than &d."
  kAddFailed,              // "An error occurred while adding the page."
  kPropertiesFailed,       // "An error occurred while setting the properties for this page."
  kDeleteFailed,           // "An error occurred while deleting the page."
  kBrowserFailed,          // "An error occurred while communicating with the web browser."
  kCouldNotLoadPage,       // "Could not load the page."
  kNoSuchPage,             // a page the facade does not know: the internal-error message
  kInternal,               // the internal-error message
  kInvalidValue,           // an option value the option cannot take (the command line's words)
  kNoEarlierVersion,       // a page with no earlier version to show the changes since
  kEnterValue,             // "Please enter a value." (a Tell a Friend field left empty)
  kMailAddress,            // string 214: an e-mail address that cannot be one
  kAddressBook,            // "An error occurred while accessing the Address Book."
  kFailed,                 // an operation failed; the message says which
  kStartupFailed,          // string 231
  kStartupProgramMissing,  // string 232
  kStartupAccessDenied,    // string 233
  kSchedulerFailed,        // "An error occurred while accessing the Task Scheduler."
  kNotEnoughMemory,        // "Not enough memory."
  kQuestion,               // not a failure: a question to ask before going on (string 234)
};
std::string_view ProblemName(Problem problem);

// The field of a request that a message is about, so that a dialog can put the focus there.
enum class Field {
  kNone,
  kTitle,
  kNewTitle,
  kAddress,
  kCheckCount,
  kWaitMinutes,
  kOption,  // the option named in `option`
  // Tell a Friend's fields.
  kToName,
  kToAddress,
  kFromName,
  kFromAddress,
  kEveryHours,  // of an offline schedule
  kAt,
  kDays,
  kRepeat,
};
std::string_view FieldName(Field field);

// A failure as the user sees it: the exact text of a message box titled "Tidewell", its icon, the
// string-table number when the text has one, and what lies behind it.
struct UserMessage {
  Problem problem = Problem::kFailed;
  std::string text;
  Icon icon = Icon::kError;
  std::optional<uint32_t> string_id;
  Field field = Field::kNone;
  std::string option;                                // with Field::kOption: the option's name
  std::optional<std::pair<int64_t, int64_t>> range;  // kOutOfRange: the bounds
  Error cause;         // the system error behind the failure, when there is one
  std::string detail;  // the sentence for `cause` ("" when none)
};

// The result of a facade operation: a value, or the message to show.
template <class T>
class [[nodiscard]] Outcome {
 public:
  Outcome(T value) : state_(std::move(value)) {}                // NOLINT: implicit by design
  Outcome(UserMessage message) : state_(std::move(message)) {}  // NOLINT: implicit by design

  bool ok() const { return state_.index() == 0; }
  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  // The message; only for an outcome that is not ok().
  const UserMessage& message() const { return std::get<1>(state_); }

 private:
  std::variant<T, UserMessage> state_;
};

// The value of an operation that returns nothing but success.
struct Done {};

// The error of a page's last check, as shown beside it.
struct PageError {
  uint32_t status = 0;  // 1 a message number, 2 a system error, 3 an HTTP status, 4 rechecking
  uint32_t code = 0;
  std::string text;  // at most kMaxPageErrorText bytes
};
inline constexpr size_t kMaxPageErrorText = 200;

// One page as a front end shows it.
struct Page {
  std::string title;
  std::string address;
  bool updated = false;
  bool pending = false;  // a placeholder for a page being added
  std::optional<PageError> error;
  FileTime updated_time;
  FileTime last_modified;
  FileTime expires;
  bool smart_update = false;
  bool ignore_last_modified = false;
  bool ignore_expires = false;
  uint32_t check_count = 0;   // only with Smart Update on, else 0
  uint32_t wait_seconds = 0;  // only with Smart Update on, else 0

  bool operator==(const Page&) const = default;
};

struct PageList {
  std::vector<Page> pages;  // by title, letter case aside, then exactly
  std::string folder;
  size_t max_title_length = 0;
};

// A page file as stored, field by field, for a look at one file.
struct StoredMask {
  uint32_t index = 0;
  uint32_t kind = 0;
  uint32_t count = 0;
};
struct StoredFrame {
  uint32_t wait_seconds = 0;
  FileTime last_modified;
  FileTime expires;
  std::optional<std::string> address;
  uint32_t content_length = 0;
  std::vector<StoredMask> masks;
};
struct StoredPage {
  std::string title;
  uint32_t version = 0;
  uint32_t updated = 0;
  uint32_t status = 0;
  uint32_t error_code = 0;
  std::string error_text;  // the text of the stored error ("" without one)
  uint32_t ignore_last_modified = 0;
  uint32_t ignore_expires = 0;
  uint32_t smart_update = 0;
  uint32_t check_count = 0;
  uint32_t wait_seconds = 0;
  uint32_t measured_wait = 0;
  FileTime updated_time;
  FileTime last_modified;
  FileTime expires;
  std::optional<std::string> address;
  uint32_t content_length = 0;
  std::vector<StoredMask> masks;
  std::vector<StoredFrame> frames;
};

// What the Add Page dialog hands over.
struct NewPage {
  std::string title;  // empty: made from the address
  std::string address;
};

// A page being added: the request that will add it and the placeholder to show meanwhile.
struct AddedPage {
  uint64_t request_id = 0;
  std::string title;
  std::string address;
  Page placeholder;
};

// A quiet add either goes ahead, or needs the Add Page dialog to settle title and address.
struct QuietAdd {
  std::optional<AddedPage> added;  // empty: show the dialog with `title` and `address`
  std::string title;
  std::string address;
};

// Add Current Page: the page the browser shows, as the extension reads it.
struct CurrentPage {
  std::string title;  // the document's title; may be empty
  std::string address;
};

// The Add Page dialog's modes that Add Current Page opens.
enum class AddPageMode { kPlain, kCurrentPage };

// Add Current Page either adds the page at once, or needs the Add Page dialog: in current-page
// mode to confirm (with "Do not show this window again"), in plain mode to correct what the
// checks refused.
struct CurrentPageAdd {
  std::optional<AddedPage> added;  // empty: show the dialog
  AddPageMode mode = AddPageMode::kCurrentPage;
  std::string title;  // the dialog's fields
  std::string address;
  std::string caption;  // current-page mode: the window title and the text above the fields
  std::string note;
  std::optional<UserMessage> problem;  // plain mode: what the checks refused
};

// What the Properties dialog hands over.
struct PageProperties {
  std::string title;      // the page
  std::string new_title;  // the title it is to have
  std::string address;
  bool smart_update = false;
  int64_t check_count = 0;   // 0 to 20
  int64_t wait_minutes = 0;  // 0 to 30
  bool ignore_last_modified = false;
  bool ignore_expires = false;
};

// The Smart Update Wizard's answer about one page.
enum class WizardAnswer { kUpdating, kNotUpdating };

// How a page is deleted.
enum class DeleteMode { kToTrash, kPermanently };

// A file dropped on the page list, as a browser hands it over: its name and its contents.
struct DroppedFile {
  std::string name;
  std::string bytes;
};
inline constexpr size_t kMaxDroppedFile = 4 * 1024 * 1024;

// What a drop did, in the order of what was dropped: pages added quietly (or the Add Page dialog
// they need), page files being imported; and where the walk stopped, when it did, with the
// failure that stopped it.
struct ImportedFile {
  uint64_t request_id = 0;
  std::string name;
};
struct DropResult {
  std::vector<QuietAdd> added;
  std::vector<ImportedFile> imports;
  std::optional<std::string> stopped_at;
  std::optional<UserMessage> failure;
};

// Tell a Friend's fields and its format choice, as typed.
using tw::Contact;
using tw::ContactList;
using tw::FriendMessage;
using tw::MailFormat;

// Where the recommendation goes once OK found the message sound.
enum class RecommendationDelivery {
  kOpenOnDesktop,  // opened here with the desktop's opener (the user's mail program or browser)
  kHandBack,       // only handed back: the caller navigates to it (the browser extension)
};

// An earlier content of a page, kept when a check found the page changed.
struct PageVersion {
  int64_t id = 0;          // stable while the version is kept
  std::string address;     // the page's address then
  FileTime found_time;     // when this content was found (zero: the page's first content)
  FileTime replaced_time;  // when a check found the page changed from it
  uint64_t size = 0;       // bytes, page and frames
};

// What changed between an earlier version of a page and its content now: the page first, then
// its frames (each with its address).
struct PageChanges {
  std::string title;
  std::string address;  // the page's address now, for a link to it
  PageVersion version;  // the earlier version shown
  std::vector<DocumentDiff> documents;
};

// --- Smart History and import ------------------------------------------------------------------

// Smart History's values, as its own layer defines them.
using tw::AddedFavorites;
using tw::AutoSh;
using tw::CheckState;
using tw::DetectionReport;
using tw::HistoryCandidate;
using tw::ImportEntry;
using tw::ImportSource;
using tw::ImportTree;

// A page Smart History proposes for watching.
struct ProposedPage {
  std::string title;  // as the browser named the page; "" when it had none
  std::string address;

  bool operator==(const ProposedPage&) const = default;
};

// The Smart History dialog's OK: the pages checked, in the dialog's order, and the choice of what
// Smart History does from now on, when the user changed it.
struct ProposalAnswer {
  std::vector<ProposedPage> checked;
  std::optional<AutoSh> auto_sh;
  // The addresses the dialog listed when the user answered: they are settled. A proposal that
  // arrived after that still waits (and is proposed again). Nothing: every waiting proposal.
  std::optional<std::vector<std::string>> shown;
};

// What came of the answer. Adding stops at a page whose title cannot be a page title (invalid,
// or taken): the Add Page dialog opens for it ("Smart History Add Page - Tidewell"), and what
// follows it waits for the dialog; the dialog's add goes through AddPage, its Cancel through
// ForgetProposedPage.
struct ProposalResult {
  std::vector<AddedPage> added;
  std::optional<ProposedPage> needs_dialog;
  std::vector<ProposedPage> remaining;
};

// A tree filled for one Import wizard (or Page Setup Wizard), and the token that names it to
// AddImportEntries: each fill is kept apart, so that windows importing at once never mix entries.
struct FilledImportTree {
  uint64_t token = 0;
  ImportTree tree;
};

// What came of adding the checked entries of an import tree: the tree with its new states, how
// many were added, and when an add failed, its own message and the tree's (129 or 132).
struct ImportAddResult {
  ImportTree tree;
  size_t added = 0;
  std::optional<UserMessage> add_error;
  std::optional<UserMessage> error;
};

// --- Settings, startup and schedule --------------------------------------------------------------

// What turning run-on-startup on or off did: nothing more to do, or a question to ask first
// (answered by calling again with the answer).
struct StartupChange {
  std::optional<UserMessage> question;
};

// The offline schedule as the Schedule page shows it.
struct ScheduleState {
  SchedulerKind kind = SchedulerKind::kNone;
  std::optional<OfflineSchedule> schedule;
  std::optional<FileTime> next_run;
  std::string status;  // "Next run time: \n...", or why there is none
};

// The folders inside one folder, for the page folder picker.
struct FolderListing {
  std::string path;                   // absolute, links resolved
  std::optional<std::string> parent;  // none at the root
  std::vector<std::string> folders;   // without hidden ones, sorted
  // The files a file picker offers (FolderQuery::file_suffixes), sorted; none for a folder picker.
  std::optional<std::vector<std::string>> files;
};

// What a picker asks to see of a folder. Without a path: the page folder when it exists, else the
// home folder; a file picker starts at the home folder.
struct FolderQuery {
  std::string path;
  // A file picker: the files whose names end in one of these, compared without case ("" for any).
  std::optional<std::vector<std::string>> file_suffixes;
};

}  // namespace tw::app
