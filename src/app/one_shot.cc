// The command line's one-shot operations: each builds a private page database for the call.
#include <memory>
#include <unordered_set>

#include "app/application.h"
#include "app/application_internal.h"
#include "app/messages.h"
#include "app/page_rules.h"
#include "checking/check_thread.h"
#include "checking/retrieval_rules.h"
#include "foundation/utf8.h"
#include "pagedb/check_thread_control.h"
#include "pagedb/page_database.h"
#include "pagefile/page_file.h"
#include "pagefile/title.h"
#include "platform/desktop_open.h"
#include "platform/file_system.h"
#include "platform/url.h"

namespace tw::app {
namespace {

// Creates the page under the first of its numbered titles that is free. Creating as new keeps a
// page that appeared since the folder was listed (another process adding at the same moment)
// and moves on to the next number.
Result<std::string> AddUnderFreeTitle(const std::string& folder, const std::string& title,
                                      const std::string& address,
                                      const std::set<std::string>& taken) {
  for (const std::string& candidate : NumberedTitles(title)) {
    if (taken.contains(TitleKey(candidate))) continue;
    const Error e = AddPageWithDefaults(folder, candidate, address);
    if (!e) return candidate;
    if (e.code() != err::kFileExists) return e;
  }
  return Error(err::kFileExists);
}

void OnCheckingEvent(PageEvent& event, void* context) {
  if (event.code == page_event::kFolderLocked) {
    static_cast<RefreshObserver*>(context)->OnCheckingStarted();
  }
}

std::vector<StoredMask> MasksOf(const MaskList& masks) {
  std::vector<StoredMask> out;
  for (const MaskEntry& mask : masks) out.push_back(StoredMask{mask.index, mask.kind, mask.count});
  return out;
}

StoredPage StoredFromRecord(const PageRecord& page) {
  StoredPage out;
  out.title = page.title;
  out.version = page.version;
  out.updated = page.updated;
  out.status = page.status;
  out.error_code = page.errorCode;
  if (page.errorCode != 0) out.error_text = StoredErrorText(page.status, page.errorCode);
  out.ignore_last_modified = page.ignoreLastModified;
  out.ignore_expires = page.ignoreExpires;
  out.smart_update = page.smartUpdate;
  out.check_count = page.checkCount;
  out.wait_seconds = page.waitSeconds;
  out.measured_wait = page.measuredWait;
  out.updated_time = page.updatedTime;
  out.last_modified = page.lastModified;
  out.expires = page.expires;
  if (page.has_address()) out.address = page.address;
  out.content_length = page.contentLength;
  out.masks = MasksOf(page.masks);
  for (const FrameEntry& frame : page.frames) {
    StoredFrame f;
    f.wait_seconds = frame.waitSeconds;
    f.last_modified = frame.lastModified;
    f.expires = frame.expires;
    if (frame.has_address()) f.address = frame.address;
    f.content_length = frame.contentLength;
    f.masks = MasksOf(frame.masks);
    out.frames.push_back(std::move(f));
  }
  return out;
}

}  // namespace

Outcome<std::string> Application::AddPageAtOnce(std::string_view address_in,
                                                std::string_view title_in) {
  if (!core_->store.ok()) return AddFailedMessage(core_->store.error());
  // Finds the page folder and reads the options, which give new pages their defaults.
  PageDatabase database(*core_->store, std::make_unique<NoChecking>(), nullptr);
  if (Error e = database.Start(PageDatabase::StartMode::kOptionsOnly)) return AddFailedMessage(e);
  const std::string folder = database.page_folder();

  const bool derived = title_in.empty();
  std::string title = derived ? CommandLineTitleFromAddress(address_in) : std::string(title_in);
  const std::string address = CommandLineAddress(address_in);
  // Longer addresses do not fit a page file's 16-bit length, and a zero byte would end the
  // address early when it is read back.
  if (address.size() > kMaxAddressLength || address.find('\0') != std::string::npos) {
    return AddFailedMessage(Error(err::kInvalidParameter));
  }
  title = MakeTitleUsable(title);
  // A title made from the address is ours to shorten; one the caller chose is not.
  if (derived) title = CutUtf8Bytes(title, tw::MaxTitleLength(folder));
  switch (CheckTitle(title, folder)) {
    case TitleProblem::kNone:
      break;
    case TitleProblem::kTooLong:
      return AddFailedMessage(Error(err::kFilenameTooLong));
    case TitleProblem::kEmpty:
    case TitleProblem::kInvalidCharacter:  // only a zero byte is left after MakeTitleUsable
      return AddFailedMessage(Error(err::kInvalidParameter));
  }
  Result<std::set<std::string>> taken = core_->TakenTitleKeys(folder, Core::TitleSource::kFolder);
  if (!taken.ok()) return AddFailedMessage(taken.error());
  Result<std::string> added = AddUnderFreeTitle(folder, title, address, *taken);
  if (!added.ok()) return AddFailedMessage(added.error());
  return *added;
}

Outcome<Done> Application::OpenPageFile(const std::string& path) {
  if (!PathExists(path)) return CouldNotLoadPageMessage();
  const std::string name = FileNameOf(path);
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return CouldNotLoadPageMessage();
  const std::string folder = FolderOf(path), title = name.substr(0, dot);
  Result<PageSummary> page = RetryWhileInUse([&] { return ReadPageSummary(folder, title); });
  if (!page.ok()) return CouldNotLoadPageMessage(page.error());
  // A page file may come from anywhere; only a web address goes to the opener, which would
  // otherwise run whatever a local path or another scheme names.
  if (!HasHttpScheme(page->address)) return CouldNotLoadPageMessage();
  if (Error e = OpenWithDesktop(page->address)) return BrowserFailedMessage(e);
  return Done{};
}

Error Application::RefreshAllPages(RefreshObserver* observer) {
  if (!core_->store.ok()) return core_->store.error();
  CheckThread::Options options;
  options.schedule_minute = core_->config.schedule_minute;
  PageDatabase database(*core_->store, std::make_unique<CheckThread>(options), nullptr);
  if (Error e = database.Start(PageDatabase::StartMode::kOptionsOnly)) return e;
  if (observer) {
    observer->OnPageFolder(database.page_folder());
    if (!database.Subscribe(page_event::kMaskChecking, &OnCheckingEvent, observer)) {
      return Error(err::kGenFailure);
    }
  }
  const Error ran = database.RunCheckPassOnce();
  if (observer) (void)database.Unsubscribe(&OnCheckingEvent, observer);
  return ran;
}

Outcome<StoredPage> Application::ReadPageFile(const std::string& path) {
  if (!PathExists(path)) return FailedMessage(path, Error(err::kFileNotFound));
  const std::string name = FileNameOf(path);
  if (!name.ends_with(kPageFileSuffix)) return FailedMessage(path, Error(err::kInvalidData));
  const std::string folder = FolderOf(path), title = TitleOfFileName(name);
  Result<std::unique_ptr<PageRecord>> page =
      RetryWhileInUse([&] { return ReadPage(folder, title); });
  if (!page.ok()) return FailedMessage(path, page.error());
  return StoredFromRecord(**page);
}

}  // namespace tw::app
