// The facade's operations on pages.
#include <algorithm>

#include "app/application.h"
#include "app/application_internal.h"
#include "app/messages.h"
#include "app/page_rules.h"
#include "foundation/ascii.h"
#include "foundation/utf8.h"
#include "pagedb/page_folder.h"
#include "pagefile/page_file.h"
#include "pagefile/page_versions.h"
#include "pagefile/title.h"
#include "platform/desktop_open.h"
#include "platform/file_system.h"
#include "platform/trash.h"
#include "platform/url.h"
#include "settings/checking_options.h"

namespace tw::app {
namespace {

constexpr int64_t kMaxDialogCheckCount = 20;
constexpr int64_t kMaxDialogWaitMinutes = 30;
constexpr uint16_t kSecondsPerMinute = 60;

bool ByTitle(const Page& a, const Page& b) {
  const std::string la = AsciiLower(a.title), lb = AsciiLower(b.title);
  return la != lb ? la < lb : a.title < b.title;
}

// Every page file of the folder; one that cannot be read is listed in error with the reason,
// as the page database lists it.
Result<std::vector<Page>> ReadFolderPages(const std::string& folder) {
  Result<std::vector<FoundFile>> files = FindFiles(folder, kPageFileSuffix);
  if (!files.ok()) return files.error();
  std::vector<Page> pages;
  pages.reserve(files->size());
  for (const FoundFile& file : *files) {
    const std::string title = TitleOfFileName(file.name);
    Result<PageSummary> summary = RetryWhileInUse([&] { return ReadPageSummary(folder, title); });
    if (summary.ok()) {
      pages.push_back(PageFromStored(title, summary->header, summary->address));
    } else {
      Page page;
      page.title = title;
      page.error = PageError{StatusSystemError, summary.error().code(),
                             CutUtf8Bytes(ErrorSentence(summary.error()), kMaxPageErrorText)};
      pages.push_back(std::move(page));
    }
  }
  std::sort(pages.begin(), pages.end(), ByTitle);
  return pages;
}

Page Placeholder(const std::string& title, const std::string& address,
                 const PageSettings& defaults) {
  Page page;
  page.title = title;
  page.address = address;
  page.pending = true;
  page.updated_time = Now();
  page.smart_update = defaults.smartUpdate;
  page.ignore_last_modified = defaults.ignoreLastModified;
  page.ignore_expires = defaults.ignoreExpires;
  if (defaults.smartUpdate) {
    page.check_count = defaults.checkCount;
    page.wait_seconds = defaults.waitSeconds;
  }
  return page;
}

// The stored header and address of a page that must exist.
Outcome<PageSummary> ReadExisting(const std::string& folder, const std::string& title) {
  Result<PageSummary> summary = RetryWhileInUse([&] { return ReadPageSummary(folder, title); });
  if (summary.ok()) return std::move(*summary);
  if (summary.error().IsNothingThere()) return NoSuchPageMessage();
  return PropertiesFailedMessage(summary.error());
}

// The titles to test against: the page list while the page database runs, else the folder's.
Application::Core::TitleSource SourceOfTitles(const Application& app) {
  return app.page_database_running() ? Application::Core::TitleSource::kPageList
                                     : Application::Core::TitleSource::kFolder;
}

}  // namespace

size_t Application::MaxTitleLength() {
  Result<std::string> folder = core_->PageFolder();
  return folder.ok() ? tw::MaxTitleLength(*folder) : 0;
}

Outcome<PageList> Application::ListPages() {
  Result<std::string> folder = core_->PageFolder();
  if (!folder.ok()) return FailedMessage("the page folder cannot be found", folder.error());
  PageList list;
  list.folder = *folder;
  list.max_title_length = tw::MaxTitleLength(*folder);
  if (page_database_running()) {
    list.pages = core_->PagesSnapshot();
    return list;
  }
  Result<std::vector<Page>> pages = ReadFolderPages(*folder);
  if (!pages.ok()) return FailedMessage(*folder, pages.error());
  list.pages = std::move(*pages);
  return list;
}

Outcome<Page> Application::GetPage(std::string_view title_in) {
  const std::string title(title_in);
  if (page_database_running()) {
    if (std::optional<Page> page = core_->FindPage(title)) return *page;
    return NoSuchPageMessage();
  }
  Result<std::string> folder = core_->PageFolder();
  if (!folder.ok()) return InternalErrorMessage(folder.error());
  Outcome<PageSummary> summary = ReadExisting(*folder, title);
  if (!summary.ok()) return summary.message();
  return PageFromStored(title, summary->header, summary->address);
}

// --- Adding ------------------------------------------------------------------------------------

namespace {

// Queues the add of a page whose title and address have passed every rule.
Outcome<AddedPage> QueueAdd(Application::Core& core, PageDatabase& db, const std::string& title,
                            const std::string& address) {
  AddedPage added;
  added.request_id = core.NewRequestId();
  added.title = title;
  added.address = address;
  // The settings the request thread will give the page: the options as this process last read
  // them.
  added.placeholder = Placeholder(title, address, CurrentNewPageSettings());
  // Pending before it is posted, so that its end cannot come first.
  core.AddPending(added.request_id, RequestKind::kAdd, title);
  auto request = std::make_unique<PageRequest>();
  request->kind = PageRequest::kAddPage;
  request->name = title;
  request->address = address;
  request->id = added.request_id;
  if (Error e = db.PostPageRequest(std::move(request))) {
    core.RemovePending(added.request_id);
    return AddFailedMessage(e);
  }
  return added;
}

}  // namespace

Outcome<AddedPage> Application::AddPage(const NewPage& page) {
  Core::DatabaseAccess db(*core_);
  if (!db) return InternalErrorMessage();
  const std::string folder = db->page_folder();
  const size_t max_title = tw::MaxTitleLength(folder);
  if (std::optional<UserMessage> m = CheckAddressRules(page.address)) return *m;
  if (std::optional<UserMessage> m = CheckTitleRules(page.title, max_title, Field::kTitle)) {
    return *m;
  }
  const std::string title =
      page.title.empty() ? DialogTitleFromAddress(page.address, max_title) : page.title;
  if (title.empty()) return InvalidTitleMessage(Field::kTitle);
  Result<std::set<std::string>> taken = core_->TakenTitleKeys(folder, Core::TitleSource::kPageList);
  if (!taken.ok()) return AddFailedMessage(taken.error());
  if (taken->contains(TitleKey(title))) return TitleTakenMessage(Field::kTitle);
  return QueueAdd(*core_, *db.get(), title, WithWebPrefix(page.address));
}

Outcome<QuietAdd> Application::AddPageQuietly(std::string_view title_in,
                                              std::string_view address_in) {
  Core::DatabaseAccess db(*core_);
  if (!db) return InternalErrorMessage();
  const std::string folder = db->page_folder();
  QuietAdd answer;
  answer.title = CutUtf8Bytes(title_in, tw::MaxTitleLength(folder));
  answer.address = std::string(address_in);
  if (answer.title.empty() || CheckAddressRules(answer.address) ||
      CheckTitleRules(answer.title, tw::MaxTitleLength(folder), Field::kTitle)) {
    return answer;  // the dialog settles it
  }
  Result<std::set<std::string>> taken = core_->TakenTitleKeys(folder, Core::TitleSource::kPageList);
  if (!taken.ok()) return AddFailedMessage(taken.error());
  for (const std::string& title : NumberedTitles(answer.title)) {
    if (taken->contains(TitleKey(title))) continue;
    Outcome<AddedPage> added = QueueAdd(*core_, *db.get(), title, WithWebPrefix(answer.address));
    if (!added.ok()) return added.message();
    answer.title = added->title;
    answer.address = added->address;
    answer.added = std::move(*added);
    return answer;
  }
  return answer;
}

namespace {

Outcome<uint64_t> QueueImport(Application::Core& core, const std::string& path, bool staged) {
  Application::Core::DatabaseAccess db(core);
  if (!db) return InternalErrorMessage();
  const uint64_t id = core.NewRequestId();
  core.AddPending(id, RequestKind::kImport, TitleOfFileName(FileNameOf(path)),
                  staged ? path : std::string());
  auto request = std::make_unique<PageRequest>();
  request->kind = PageRequest::kImportPageFile;
  request->name = path;
  request->id = id;
  if (Error e = db->PostPageRequest(std::move(request))) {
    core.RemovePending(id);
    return AddFailedMessage(e);
  }
  return id;
}

}  // namespace

Outcome<uint64_t> Application::ImportPageFile(const std::string& path) {
  return QueueImport(*core_, path, /*staged=*/false);
}

Outcome<uint64_t> Application::ImportStagedFile(const std::string& path) {
  Outcome<uint64_t> id = QueueImport(*core_, path, /*staged=*/true);
  if (!id.ok()) Core::RemoveStagedFile(path);
  return id;
}

// --- Changing one page -------------------------------------------------------------------------

Outcome<Done> Application::RenamePage(std::string_view title_in, std::string_view new_title_in) {
  const std::string title(title_in), new_title(new_title_in);
  Result<std::string> folder = core_->PageFolder();
  if (!folder.ok()) return PropertiesFailedMessage(folder.error());
  if (!core_->PageExists(*folder, title)) return NoSuchPageMessage();
  if (new_title.empty() || new_title.size() > tw::MaxTitleLength(*folder)) {
    return InvalidTitleMessage(Field::kNewTitle);
  }
  if (new_title == title) return Done{};
  if (CheckTitle(new_title, *folder) != TitleProblem::kNone) {
    return InvalidTitleMessage(Field::kNewTitle);
  }
  // A change of letter case alone is the same page's: the file system decides.
  if (!EqualsIgnoreCase(new_title, title)) {
    Result<std::set<std::string>> taken = core_->TakenTitleKeys(*folder, SourceOfTitles(*this));
    if (!taken.ok()) return PropertiesFailedMessage(taken.error());
    if (taken->contains(TitleKey(new_title))) return TitleTakenMessage(Field::kNewTitle);
  }
  if (Error e = RetryWhileInUse([&] { return tw::RenamePage(*folder, title, new_title); })) {
    return PropertiesFailedMessage(e);
  }
  return Done{};
}

Outcome<Done> Application::DeletePage(std::string_view title_in, DeleteMode mode) {
  const std::string title(title_in);
  Result<std::string> folder = core_->PageFolder();
  if (!folder.ok()) return DeleteFailedMessage(folder.error());
  if (!core_->PageExists(*folder, title)) return NoSuchPageMessage();
  const Error e = RetryWhileInUse([&] {
    return mode == DeleteMode::kToTrash ? MoveToTrash(PagePath(*folder, title))
                                        : tw::DeletePage(*folder, title);
  });
  if (e) return DeleteFailedMessage(e);
  // A page put in the trash leaves its earlier versions behind as a deleted one does.
  if (mode == DeleteMode::kToTrash) (void)RemovePageVersions(*folder, title);
  return Done{};
}

Outcome<Done> Application::ResetPage(std::string_view title_in) {
  const std::string title(title_in);
  Result<std::string> folder = core_->PageFolder();
  if (!folder.ok()) return PropertiesFailedMessage(folder.error());
  Outcome<PageSummary> page = ReadExisting(*folder, title);
  if (!page.ok()) return page.message();
  if (Error e = RetryWhileInUse([&] { return tw::ResetPage(*folder, title, page->address); })) {
    return PropertiesFailedMessage(e);
  }
  return Done{};
}

Outcome<Done> Application::SetPageProperties(const PageProperties& change) {
  if (change.check_count < 0 || change.check_count > kMaxDialogCheckCount) {
    return OutOfRangeMessage(Field::kCheckCount, 0, kMaxDialogCheckCount);
  }
  if (change.wait_minutes < 0 || change.wait_minutes > kMaxDialogWaitMinutes) {
    return OutOfRangeMessage(Field::kWaitMinutes, 0, kMaxDialogWaitMinutes);
  }
  // The rules look at the address as typed, so that "ftp://..." is refused rather than turned
  // into "http://ftp://..."; one without a web scheme then gets "http://" in front.
  if (std::optional<UserMessage> m = CheckAddressRules(change.address)) return *m;
  const std::string address = WithWebPrefix(change.address);

  Result<std::string> folder = core_->PageFolder();
  if (!folder.ok()) return PropertiesFailedMessage(folder.error());
  Outcome<PageSummary> current = ReadExisting(*folder, change.title);
  if (!current.ok()) return current.message();
  const bool renamed = change.new_title != change.title;
  if (renamed) {
    if (change.new_title.empty()) return InvalidTitleMessage(Field::kNewTitle);
    if (std::optional<UserMessage> m =
            CheckTitleRules(change.new_title, tw::MaxTitleLength(*folder), Field::kNewTitle)) {
      return *m;
    }
    if (!EqualsIgnoreCase(change.new_title, change.title)) {
      Result<std::set<std::string>> taken = core_->TakenTitleKeys(*folder, SourceOfTitles(*this));
      if (!taken.ok()) return PropertiesFailedMessage(taken.error());
      if (taken->contains(TitleKey(change.new_title))) {
        return TitleTakenMessage(Field::kNewTitle);
      }
    }
    if (Error e = RetryWhileInUse(
            [&] { return tw::RenamePage(*folder, change.title, change.new_title); })) {
      return PropertiesFailedMessage(e);
    }
  }

  // What the dialog showed: count and wait only while Smart Update is on, the wait in minutes.
  const PageHeader& was = current->header;
  const bool was_smart = was.smartUpdate != 0;
  const int64_t shown_count = was_smart ? was.checkCount : 0;
  const int64_t shown_minutes = was_smart ? was.waitSeconds / kSecondsPerMinute : 0;
  const int64_t count = change.smart_update ? change.check_count : 0;
  const int64_t minutes = change.smart_update ? change.wait_minutes : 0;
  const bool unchanged = address == current->address && change.smart_update == was_smart &&
                         change.ignore_last_modified == (was.ignoreLastModified != 0) &&
                         change.ignore_expires == (was.ignoreExpires != 0) &&
                         count == shown_count && minutes == shown_minutes;
  if (unchanged) return Done{};
  const Error e = RetryWhileInUse([&] {
    return SetPageOptions(
        *folder, change.new_title, address,
        PageSettings{.smartUpdate = change.smart_update,
                     .checkCount = static_cast<uint16_t>(count),
                     .waitSeconds = static_cast<uint16_t>(minutes * kSecondsPerMinute),
                     .ignoreLastModified = change.ignore_last_modified,
                     .ignoreExpires = change.ignore_expires});
  });
  if (e) return PropertiesFailedMessage(e);
  return Done{};
}

Outcome<Done> Application::RunSmartUpdateWizard(std::string_view title_in, WizardAnswer answer,
                                                int64_t wait_minutes) {
  const std::string title(title_in);
  const bool updating = answer == WizardAnswer::kUpdating;
  if (updating && (wait_minutes < 0 || wait_minutes > kMaxDialogWaitMinutes)) {
    return OutOfRangeMessage(Field::kWaitMinutes, 0, kMaxDialogWaitMinutes);
  }
  Result<std::string> folder = core_->PageFolder();
  if (!folder.ok()) return PropertiesFailedMessage(folder.error());
  Outcome<PageSummary> current = ReadExisting(*folder, title);
  if (!current.ok()) return current.message();
  const PageHeader& page = current->header;
  bool smart = page.smartUpdate != 0;
  bool ignore_modified = page.ignoreLastModified != 0;
  bool ignore_expires = page.ignoreExpires != 0;
  int64_t count = page.checkCount;
  const bool has_modified = !page.lastModified.IsZero();
  const bool has_expires = !page.expires.IsZero();
  // Each answer takes one step, the first that applies; Not Updating undoes Updating's steps in
  // the reverse order.
  if (updating) {
    if (!smart) {
      smart = true;
      count = 0;
    } else if (has_modified && !ignore_modified) {
      ignore_modified = true;
    } else if (has_expires && !ignore_expires) {
      ignore_expires = true;
    } else {
      // The count stays within what the Properties dialog accepts.
      count = std::min<int64_t>(count + 1, kMaxDialogCheckCount);
    }
  } else if (smart && count > 0) {
    --count;
  } else if (has_modified && ignore_modified) {
    ignore_modified = false;
  } else if (has_expires && ignore_expires) {
    ignore_expires = false;
  } else if (smart) {
    smart = false;
  }
  const int64_t wait_seconds = updating ? wait_minutes * kSecondsPerMinute : 0;
  // Written even when nothing changed: the page always starts afresh.
  const Error e = RetryWhileInUse([&] {
    return SetPageOptions(*folder, title, current->address,
                          PageSettings{.smartUpdate = smart,
                                       .checkCount = static_cast<uint16_t>(count),
                                       .waitSeconds = static_cast<uint16_t>(wait_seconds),
                                       .ignoreLastModified = ignore_modified,
                                       .ignoreExpires = ignore_expires});
  });
  if (e) return PropertiesFailedMessage(e);
  return Done{};
}

Outcome<Done> Application::ClearUpdated(std::string_view title_in) {
  const std::string title(title_in);
  Result<std::string> folder = core_->PageFolder();
  if (!folder.ok()) return PropertiesFailedMessage(folder.error());
  Outcome<PageSummary> page = ReadExisting(*folder, title);
  if (!page.ok()) return page.message();
  if (page->header.updated == 0) return Done{};
  if (Error e = RetryWhileInUse([&] { return tw::ClearUpdated(*folder, title); })) {
    return PropertiesFailedMessage(e);
  }
  return Done{};
}

Outcome<Done> Application::OpenPage(std::string_view title_in) {
  const std::string title(title_in);
  Result<std::string> folder = core_->PageFolder();
  if (!folder.ok()) return InternalErrorMessage(folder.error());
  Result<PageSummary> page = RetryWhileInUse([&] { return ReadPageSummary(*folder, title); });
  if (!page.ok()) return NoSuchPageMessage();
  // Cleared before the page opens; a flag that cannot be cleared does not keep it closed.
  if (page->header.updated != 0) {
    (void)RetryWhileInUse([&] { return tw::ClearUpdated(*folder, title); });
  }
  // Only a web address goes to the opener, which would run whatever a local path names.
  if (!HasHttpScheme(page->address)) return BrowserFailedMessage();
  if (Error e = OpenWithDesktop(page->address)) return BrowserFailedMessage(e);
  return Done{};
}

}  // namespace tw::app
