#include "checking/check_pass.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "checking/check_job.h"
#include "checking/job_step.h"
#include "checking/request_pool.h"
#include "foundation/owned_list.h"
#include "pagedb/error_log.h"
#include "pagedb/folder_markers.h"
#include "pagefile/page_file.h"
#include "pagefile/page_versions.h"
#include "pagefile/title.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/folder_watch.h"
#include "platform/in_use_retry.h"

namespace tw {

// Where a page of the folder stands in this pass.
enum class EntryState {
  kUnreadable,  // the page file cannot be read
  kChecking,    // a job checks the page, or will
  kDone,        // not checked in this pass, or finished
};

namespace {

constexpr char kLockBytes[4] = {};
// How long a check's outcome waits for a page file that another program holds: about 30 s.
constexpr int kWriteBackAttempts = 30'000 / kInUsePause.count();

// The job state a page starts in: learning for a page never checked, checking for the others.
JobState FirstStateOf(const PageHeader& header) {
  return header.NeverChecked() ? JobState::kPageLearnBaseline : JobState::kPageCheckForChange;
}

}  // namespace

struct CheckEntry : ListNode<CheckEntry> {
  // What decides how a page's job runs; an edit of any of it restarts the job.
  struct Settings {
    std::string address;
    uint8_t smartUpdate = 0;
    uint8_t ignoreLastModified = 0;
    uint8_t ignoreExpires = 0;
    uint16_t checkCount = 0;
    uint16_t waitSeconds = 0;

    static Settings Of(const PageHeader& header, const std::string& address) {
      return Settings{
          address,           header.smartUpdate, header.ignoreLastModified, header.ignoreExpires,
          header.checkCount, header.waitSeconds};
    }
    bool operator==(const Settings&) const = default;
  };

  std::string file_name;  // without folder
  std::string title;
  FileTime file_time;  // the file's last-write time when last looked at
  FileId file_id = 0;  // which file it was then: a rename keeps it
  Settings listed;     // the page's address and settings as last read
  CheckJob* job = nullptr;
  EntryState state = EntryState::kDone;
  JobState first_state = JobState::kNone;  // the job state the page was listed in
  // Queued for a job: a page to check whose job has not started. A job is made, and its page
  // read whole, only when a request slot is free for it, so that what a pass holds in memory
  // follows the pool rather than the folder.
  struct Queued : ListNode<Queued> {
    CheckEntry* entry = nullptr;
  } queued;
  bool in_queue = false;
  bool busy = false;  // unreadable because its writer still held it: read again when named
  uint64_t seen = 0;  // the re-listing that last found the file
};

namespace {

class CheckPass {
 public:
  explicit CheckPass(const PassSetup& setup)
      : setup_(setup),
        markers_(setup.folder),
        pool_(setup.context, setup.pool_size, setup.timeout_ms) {}

  Error Run();

 private:
  enum class Flow { kGoOn, kEnd };

  Result<File> OpenLock();

  // Stop and folder changes.
  bool StopSeen();
  void DrainWatch();
  bool ListChanged();

  // Listing.
  Error List();
  Error Relist(bool& jobs_dropped);
  void AddFromFile(const FoundFile& file);
  void FollowRename(CheckEntry& entry, const FoundFile& file);
  void ReadEntry(CheckEntry& entry);
  void Reread(CheckEntry& entry, FileTime file_time, bool& jobs_dropped);
  void QueueIfWanted(CheckEntry& entry, const PageSummary& summary);
  void Queue(CheckEntry& entry);
  void Dequeue(CheckEntry& entry);
  void RecordUnreadable(CheckEntry& entry, Error error);
  void RemoveEntry(CheckEntry* entry, bool& jobs_dropped);

  // Jobs.
  CheckJob* StartJob(CheckEntry& entry, RequestSlot* slot);
  void Post(CheckJob& job, uint32_t& running, bool& some_finished);
  void DropJob(CheckJob* job);
  bool FinishJob(CheckJob& job);
  struct WriteOutcome;
  WriteOutcome WriteBack(CheckJob& job);

  // Earlier versions: the content a change replaces is kept, and a full pass drops the versions
  // of pages no longer in the folder. Neither may fail the pass or a page.
  void KeepReplacedVersion(const PageRecord& replaced, FileTime replaced_time);
  void DropVersionsOfGonePages();

  Result<Flow> SchedulingSweep();
  Result<Flow> ProcessingSweep();

  const PassSetup& setup_;
  const FolderMarkers markers_;
  // Declared first, so that a pass that fails closes it after the request threads are gone; a
  // pass that ends closes it itself, once no page file is written any more.
  File lock_;
  FolderWatch watch_;
  RequestPool pool_;
  OwnedList<CheckEntry> entries_;
  std::unordered_map<std::string, CheckEntry*> by_name_;
  // The pages waiting for a job, in the order their jobs are to start (not owned; emptied before
  // the entries go).
  OwnedList<CheckEntry::Queued> queue_{false};
  // The jobs under way, each with its request slot, in the order they started. Declared after
  // the pool and the entries they point into.
  OwnedList<CheckJob> jobs_;

  // What the folder watch has named since the last listing.
  std::unordered_set<std::string> changed_names_;
  bool full_relist_ = false;
  bool crs_named_ = false;
  uint64_t generation_ = 0;
  std::vector<Waitable*> waits_;
  std::optional<PageVersions> versions_;  // opened for the first version the pass keeps
};

Result<File> CheckPass::OpenLock() {
  // A page database looking whether a pass runs holds the file for a moment only; a pass holds
  // it throughout. Trying again tells the two apart.
  return RetryWhileInUse([&] { return markers_.HoldForPass(); }, {setup_.stop, setup_.interrupt});
}

Error CheckPass::Run() {
  setup_.stop_checking->Reset();
  // Watching starts before the lock is taken, so that nothing written after it goes unseen.
  Result<FolderWatch> watch = FolderWatch::Create(setup_.folder);
  if (watch.ok()) watch_ = std::move(*watch);

  Result<File> lock = OpenLock();
  if (!lock.ok()) {
    // Another process is checking this folder: nothing to do here.
    return lock.error().code() == err::kSharingViolation ? Error() : lock.error();
  }
  lock_ = std::move(*lock);
  setup_.pass_running->store(true);
  if (markers_.StoppedByUser()) markers_.ClearStoppedByUser();
  if (Error e = lock_.WriteAll(kLockBytes, sizeof kLockBytes)) return e;
  if (Error e = lock_.Sync()) return e;
  // Writers killed in mid-write leave their temporary files; a one-shot pass may be the only
  // visitor the folder has for a long time.
  RemoveStaleTempFiles(setup_.folder);
  if (setup_.one_shot) {
    // A stop request that was there before this pass held the folder was meant for one that has
    // ended.
    if (watch_.valid()) DrainWatch();
    crs_named_ = false;
    if (markers_.StopRequested()) markers_.DiscardStopRequest();
  }
  if (setup_.sink) {
    PageEvent started;
    started.code = page_event::kFolderLocked;
    setup_.sink->SendToAll(started);
  }

  if (Error e = List(); e && !e.IsNothingThere()) return e;
  bool stopped = false;
  while (!jobs_.empty() || !queue_.empty()) {
    Result<Flow> flow = SchedulingSweep();
    if (!flow.ok()) return flow.error();
    stopped = *flow == Flow::kEnd;
    if (stopped || (jobs_.empty() && queue_.empty())) break;
    flow = ProcessingSweep();
    if (!flow.ok()) return flow.error();
    stopped = *flow == Flow::kEnd;
    if (stopped) break;
  }
  // The end of a pass that was not cut short by a failure.
  if (setup_.kind == PassKind::kAllPages && !stopped) DropVersionsOfGonePages();
  (void)lock_.WriteAll(kLockBytes, sizeof kLockBytes);
  (void)lock_.Close();
  return Error();
}

// --- Stop and folder changes ------------------------------------------------------------------

bool CheckPass::StopSeen() {
  Waitable* const watch = watch_.valid() ? &watch_ : nullptr;
  // Without a watch a one-shot pass looks for "crs" itself at every stop test.
  const bool look_for_crs = setup_.one_shot && (crs_named_ || !watch);
  if (!look_for_crs &&
      !WaitForAny({setup_.stop, setup_.interrupt, setup_.stop_checking, watch}, Timeout(0))
           .signaled()) {
    return false;
  }
  if (watch) DrainWatch();
  bool by_user = setup_.stop_checking->IsSet();
  if (setup_.one_shot && (crs_named_ || !watch)) {
    // No page database thread runs here to turn "crs" into the stop-checking event.
    if (markers_.StopRequested()) {
      markers_.DiscardStopRequest();
      by_user = true;
    }
  }
  crs_named_ = false;
  if (by_user) {
    // Tells every process that the user stopped checking.
    (void)markers_.MarkStoppedByUser();
    return true;
  }
  return setup_.stop->IsSet() || setup_.interrupt->IsSet();
}

void CheckPass::DrainWatch() {
  (void)watch_.Rearm([this](std::string_view name) {
    if (name.empty()) {
      // Names were lost: look at everything.
      full_relist_ = true;
      crs_named_ = setup_.one_shot;
      return true;
    }
    if (name == FolderMarkers::kStopRequest) {
      crs_named_ = setup_.one_shot;
      return setup_.one_shot;
    }
    if (name.ends_with(kPageFileSuffix)) {
      changed_names_.emplace(name);
      return true;
    }
    return false;
  });
}

bool CheckPass::ListChanged() {
  if (watch_.valid()) DrainWatch();
  return full_relist_ || !changed_names_.empty() || setup_.list_changed->IsSet();
}

// --- Listing ----------------------------------------------------------------------------------

Error CheckPass::List() {
  setup_.list_changed->Reset();
  if (watch_.valid()) DrainWatch();
  changed_names_.clear();
  full_relist_ = false;
  Result<std::vector<FoundFile>> found = FindFiles(setup_.folder, kPageFileSuffix);
  if (!found.ok()) return found.error();
  for (const FoundFile& file : *found) AddFromFile(file);
  return Error();
}

void CheckPass::AddFromFile(const FoundFile& file) {
  auto made = std::make_unique<CheckEntry>();
  made->file_name = file.name;
  made->title = TitleOfFileName(file.name);
  made->file_time = file.last_write;
  made->file_id = file.id;
  made->seen = generation_;
  CheckEntry* entry = entries_.Append(std::move(made));
  by_name_[entry->file_name] = entry;
  ReadEntry(*entry);
}

void CheckPass::ReadEntry(CheckEntry& entry) {
  Result<PageSummary> summary = ReadPageSummary(setup_.folder, entry.title);
  if (!summary.ok()) {
    RecordUnreadable(entry, summary.error());
    return;
  }
  QueueIfWanted(entry, *summary);
}

void CheckPass::QueueIfWanted(CheckEntry& entry, const PageSummary& summary) {
  entry.listed = CheckEntry::Settings::Of(summary.header, summary.address);
  entry.first_state = FirstStateOf(summary.header);
  entry.state = EntryState::kDone;
  if (setup_.kind == PassKind::kNewPagesOnly && entry.first_state != JobState::kPageLearnBaseline) {
    return;
  }
  Queue(entry);
}

void CheckPass::Queue(CheckEntry& entry) {
  entry.state = EntryState::kChecking;
  entry.queued.entry = &entry;
  queue_.Append(&entry.queued);
  entry.in_queue = true;
}

void CheckPass::Dequeue(CheckEntry& entry) {
  if (!entry.in_queue) return;
  queue_.Unlink(&entry.queued);
  entry.in_queue = false;
}

void CheckPass::RecordUnreadable(CheckEntry& entry, Error error) {
  entry.state = EntryState::kUnreadable;
  entry.busy = error.code() == err::kSharingViolation;
  // A file gone since the listing leaves with the next one; a file being written comes back
  // with its writer's change notification.
  if (error.IsNothingThere() || error.code() == err::kSharingViolation) return;
  if (WritePageErrorFile(setup_.folder, entry.title, 0, error)) {
    (void)PostErrorEvent(setup_.sink, 0, error);
  }
}

Error CheckPass::Relist(bool& jobs_dropped) {
  const bool list_changed = setup_.list_changed->IsSet();
  setup_.list_changed->Reset();
  if (watch_.valid()) DrainWatch();
  const bool full = list_changed || full_relist_;
  std::unordered_set<std::string> names = std::move(changed_names_);
  changed_names_.clear();
  full_relist_ = false;
  ++generation_;

  // The page database's signal asks for a whole listing; the folder watch names the files.
  std::vector<FoundFile> found;
  if (full) {
    Result<std::vector<FoundFile>> listed = FindFiles(setup_.folder, kPageFileSuffix);
    if (listed.ok()) {
      found = std::move(*listed);
    } else if (!listed.error().IsNothingThere()) {
      return listed.error();
    }
  } else {
    for (const std::string& name : names) {
      Result<FileInfo> info = GetFileInfo(JoinPath(setup_.folder, name));
      if (info.ok() && !info->is_directory) {
        found.push_back({name, info->last_write, info->size, info->id});
      }
    }
  }

  std::vector<const FoundFile*> fresh;  // names this pass has not known
  for (const FoundFile& file : found) {
    const auto it = by_name_.find(file.name);
    if (it == by_name_.end()) {
      fresh.push_back(&file);
      continue;
    }
    CheckEntry& entry = *it->second;
    entry.seen = generation_;
    entry.file_id = file.id;
    if (entry.file_time != file.last_write || entry.busy) {
      Reread(entry, file.last_write, jobs_dropped);
    }
  }

  // Files gone.
  std::vector<CheckEntry*> gone;
  if (full) {
    for (CheckEntry& entry : entries_) {
      if (entry.seen != generation_) gone.push_back(&entry);
    }
  } else {
    for (const std::string& name : names) {
      const auto it = by_name_.find(name);
      if (it != by_name_.end() && it->second->seen != generation_) gone.push_back(it->second);
    }
  }

  // A file gone under one name and found under another is the same page renamed: its entry, with
  // the job under way or the check already done, goes along, so that a rename never has a page
  // checked a second time as if it were new.
  for (const FoundFile* file : fresh) {
    const auto renamed = std::find_if(gone.begin(), gone.end(), [&](const CheckEntry* entry) {
      return entry && file->id != 0 && entry->file_id == file->id;
    });
    if (renamed == gone.end()) {
      AddFromFile(*file);
      continue;
    }
    CheckEntry& entry = **renamed;
    *renamed = nullptr;
    FollowRename(entry, *file);
    if (entry.file_time != file->last_write || entry.busy) {
      Reread(entry, file->last_write, jobs_dropped);
    }
  }
  for (CheckEntry* entry : gone) {
    if (entry) RemoveEntry(entry, jobs_dropped);
  }
  return Error();
}

void CheckPass::FollowRename(CheckEntry& entry, const FoundFile& file) {
  by_name_.erase(entry.file_name);
  entry.file_name = file.name;
  entry.title = TitleOfFileName(file.name);
  entry.seen = generation_;
  by_name_[entry.file_name] = &entry;
  // The job writes its outcome under the page's new name.
  if (entry.job) entry.job->page->title = entry.title;
}

void CheckPass::Reread(CheckEntry& entry, FileTime file_time, bool& jobs_dropped) {
  Result<PageSummary> summary = ReadPageSummary(setup_.folder, entry.title);
  if (!summary.ok()) {
    const Error e = summary.error();
    // Being written, or gone: the writer's or the remover's notification follows.
    if (e.IsNothingThere() || e.code() == err::kSharingViolation) return;
    entry.file_time = file_time;
    if (entry.job) {
      DropJob(entry.job);
      jobs_dropped = true;
    }
    Dequeue(entry);
    RecordUnreadable(entry, e);
    return;
  }
  entry.file_time = file_time;
  entry.busy = false;
  const CheckEntry::Settings settings = CheckEntry::Settings::Of(summary->header, summary->address);
  const JobState state = FirstStateOf(summary->header);
  if (entry.state == EntryState::kChecking) {
    if (state == entry.first_state && settings == entry.listed) {
      // The job goes on untouched (a queued one reads the page when it starts); what else was
      // changed meanwhile is kept when the job writes its outcome (WriteBack).
      return;
    }
    if (entry.job) {
      DropJob(entry.job);
      jobs_dropped = true;
    }
    Dequeue(entry);
  } else if (entry.state == EntryState::kDone && state != JobState::kPageLearnBaseline) {
    // Already checked, or not to be checked: only a page that starts over is checked again.
    entry.listed = settings;
    entry.first_state = state;
    return;
  }
  QueueIfWanted(entry, *summary);
}

void CheckPass::RemoveEntry(CheckEntry* entry, bool& jobs_dropped) {
  if (entry->job) {
    DropJob(entry->job);
    jobs_dropped = true;
  }
  Dequeue(*entry);
  by_name_.erase(entry->file_name);
  entries_.Remove(entry);
}

// --- Jobs -------------------------------------------------------------------------------------

CheckJob* CheckPass::StartJob(CheckEntry& entry, RequestSlot* slot) {
  Result<std::unique_ptr<PageRecord>> read = ReadPage(setup_.folder, entry.title);
  if (!read.ok()) {
    pool_.Release(slot);
    RecordUnreadable(entry, read.error());
    return nullptr;
  }
  std::unique_ptr<PageRecord> page = std::move(*read);
  const PageHeader read_header = page->header();
  // The file may have changed since it was listed; what it holds now decides, as listing does.
  const JobState state = FirstStateOf(*page);
  entry.listed = CheckEntry::Settings::Of(page->header(), page->address);
  entry.first_state = state;
  if (setup_.kind == PassKind::kNewPagesOnly && state != JobState::kPageLearnBaseline) {
    pool_.Release(slot);
    entry.state = EntryState::kDone;
    return nullptr;
  }
  if (state == JobState::kPageLearnBaseline) page->measuredWait = page->waitSeconds;
  if (page->status != StatusNone) {
    page->status = StatusRechecking;
    page->errorCode = 0;
  }
  auto job = std::make_unique<CheckJob>(std::move(page));
  job->read_header = read_header;
  job->read_address = job->page->address;
  job->state = state;
  job->slot = slot;
  job->entry = &entry;
  if (setup_.kind == PassKind::kAllPages) job->BuildFrameList();
  entry.job = jobs_.Append(std::move(job));
  return entry.job;
}

void CheckPass::Post(CheckJob& job, uint32_t& running, bool& some_finished) {
  RequestThread& request = *job.slot->thread;
  const FrameEntry* frame = job.current_frame();
  if (request.PostRequest(frame ? frame->address : job.page->address, WantsHeadOnly(job),
                          job.download_counter == 1)) {
    job.state = JobState::kFinishedPostFailed;
    some_finished = true;
    return;
  }
  waits_.push_back(&request.done_event());
  ++running;
  job.download_counter ^= 1;
  job.scheduling = Scheduling::kRunning;
}

void CheckPass::DropJob(CheckJob* job) {
  if (RequestSlot* slot = job->slot) {
    // A request still running is cut short; its thread starts afresh with the next one.
    if (job->scheduling == Scheduling::kRunning) slot->thread->CloseRequest({.end_thread = true});
    pool_.Release(slot);
    job->slot = nullptr;
  }
  if (job->entry) job->entry->job = nullptr;
  jobs_.Remove(job);
}

// How a job's outcome went to its page file.
struct CheckPass::WriteOutcome {
  enum class Kind {
    kWritten,      // merged into what the file holds now, and written
    kStartedOver,  // the page was started over or set up anew meanwhile: outcome dropped
    kGone,         // no file under the page's title: renamed or deleted
    kUnreadable,   // what is there now is no page file
    kFailed,       // reported
  };
  Kind kind = Kind::kFailed;
  FileStamp stamp;      // of the file the page has now (written, started over)
  PageSummary current;  // what the file holds now (started over)
  Error error;          // unreadable
};

// Whether the page was started over or set up anew since the job read it (the Properties, the
// wizard, a reset, or another page made under its name): the job's outcome then belongs to a
// page that is no longer there.
bool StartedOverSince(const CheckJob& job, const PageRecord& current) {
  return FirstStateOf(current.header()) != FirstStateOf(job.read_header) ||
         CheckEntry::Settings::Of(current.header(), current.address) !=
             CheckEntry::Settings::Of(job.read_header, job.read_address);
}

// False when the page file went away as the job ended; the job then stays, for a re-listing to
// tell a rename (which it follows) from a deletion (which drops it).
bool CheckPass::FinishJob(CheckJob& job) {
  PageRecord& page = *job.page;
  bool write = false;
  switch (job.state) {
    case JobState::kFinishedWriteBack:
      page.status = StatusNone;
      write = true;
      break;
    case JobState::kFinishedPageError:
      write = true;
      break;
    default:
      // Only a page whose earlier error is cleared by this check has anything to write (also
      // when a rename had the write wait for a re-listing).
      write = page.status != StatusNone || job.read_header.status != StatusNone;
      page.status = StatusNone;
  }
  CheckEntry& entry = *job.entry;
  if (write) {
    WriteOutcome outcome = WriteBack(job);
    switch (outcome.kind) {
      case WriteOutcome::Kind::kGone:
        return false;
      case WriteOutcome::Kind::kWritten:
        // The pass's own write is no change for a later re-listing.
        entry.file_time = outcome.stamp.last_write;
        entry.file_id = outcome.stamp.id;
        entry.listed.address = page.address;
        break;
      case WriteOutcome::Kind::kStartedOver:
        // Checked again as the page now is.
        entry.file_time = outcome.stamp.last_write;
        entry.file_id = outcome.stamp.id;
        DropJob(&job);
        QueueIfWanted(entry, outcome.current);
        return true;
      case WriteOutcome::Kind::kUnreadable:
        DropJob(&job);
        RecordUnreadable(entry, outcome.error);
        return true;
      case WriteOutcome::Kind::kFailed:
        break;
    }
  }
  entry.state = EntryState::kDone;
  DropJob(&job);
  return true;
}

// The whole page is written, but only over the file the job read: the file is read again under
// the write's own exclusive hold, and what others changed since the job read it is kept. A page
// started over meanwhile keeps its new start and is checked again; an updated flag cleared
// meanwhile stays cleared unless this check found a change of its own.
CheckPass::WriteOutcome CheckPass::WriteBack(CheckJob& job) {
  PageRecord& page = *job.page;
  uint16_t wait = page.measuredWait;
  for (const FrameEntry& frame : page.frames) wait = std::max(wait, frame.waitSeconds);
  page.waitSeconds = wait;
  if (job.changed) {
    // Marked when the job that found the change ends; a learning run that is cut short (its
    // content too old to keep) would otherwise leave an updated page without its time.
    page.updated = 1;
    page.updatedTime = Now();
  }
  // A learning run after a change marks the page itself.
  const bool found_change = job.changed || page.updatedTime != job.read_header.updatedTime;

  WriteOutcome outcome;
  const PageReviser merge = [&](const PageRecord& current) -> const PageRecord* {
    if (StartedOverSince(job, current)) {
      outcome.kind = WriteOutcome::Kind::kStartedOver;
      outcome.current.header = current.header();
      outcome.current.address = current.address;
      return nullptr;
    }
    if (!found_change) {
      page.updated = current.updated;
      page.updatedTime = current.updatedTime;
    }
    if (job.changed) KeepReplacedVersion(current, page.updatedTime);
    outcome.kind = WriteOutcome::Kind::kWritten;
    return &page;
  };
  // A reader holds a page file only while it reads it, but another program's writer may keep it
  // for seconds: the outcome is kept until the file is free, unless the pass is told to end.
  Result<FileStamp> stamp =
      RetryWhileInUse([&] { return RevisePage(setup_.folder, page.title, merge); },
                      {setup_.stop, setup_.interrupt, setup_.stop_checking}, kWriteBackAttempts);
  if (stamp.ok()) {
    outcome.stamp = *stamp;
    return outcome;
  }
  const Error e = stamp.error();
  if (e.IsNothingThere() || e.code() == err::kPathNotFound) {
    outcome.kind = WriteOutcome::Kind::kGone;
  } else if (e.code() == err::kInvalidData) {
    outcome.kind = WriteOutcome::Kind::kUnreadable;
    outcome.error = e;
  } else {
    outcome.kind = WriteOutcome::Kind::kFailed;
    ReportError(setup_.folder, setup_.sink, e);
  }
  return outcome;
}

// What the page file held until now is what the change replaces.
void CheckPass::KeepReplacedVersion(const PageRecord& replaced, FileTime replaced_time) {
  if (setup_.keep_versions == 0) return;
  if (!versions_) {
    Result<PageVersions> opened = PageVersions::Open(setup_.folder);
    if (!opened.ok()) return;
    versions_.emplace(std::move(*opened));
  }
  (void)versions_->Keep(replaced, replaced_time, setup_.keep_versions);
}

void CheckPass::DropVersionsOfGonePages() {
  Result<PageVersions> versions = PageVersions::OpenExisting(setup_.folder);
  if (!versions.ok()) return;
  // Listed now, so that a page renamed or added while the pass ran keeps its versions.
  Result<std::vector<FoundFile>> files = FindFiles(setup_.folder, kPageFileSuffix);
  if (!files.ok()) return;
  std::vector<std::string> titles;
  for (const FoundFile& file : *files) titles.push_back(TitleOfFileName(file.name));
  (void)versions->RemoveAllBut(titles);
}

// --- Sweeps -----------------------------------------------------------------------------------

Result<CheckPass::Flow> CheckPass::SchedulingSweep() {
  if (StopSeen()) return Flow::kEnd;
  if (ListChanged()) {
    bool dropped = false;
    if (Error e = Relist(dropped)) return e;
  }
  const FileTime now = Now();
  std::optional<Timeout> min_wait;  // none: nothing waits for a deadline
  uint32_t running = 0;
  bool some_finished = false;
  waits_.clear();
  for (CheckJob* job = jobs_.first(); job && running < pool_.size(); job = job->next) {
    if (IsFinished(job->state)) {
      some_finished = true;
    } else if (job->scheduling == Scheduling::kReady) {
      Post(*job, running, some_finished);
    } else if (job->scheduling == Scheduling::kRunning) {
      if (job->slot->thread->IsDone()) {
        some_finished = true;
      } else {
        waits_.push_back(&job->slot->thread->done_event());
        ++running;
      }
    } else {
      const double left = SecondsBetween(job->deadline, now);
      // Rounded up, so that a job is never woken just before its deadline to sleep again.
      const Timeout wait{left <= 0 ? 0 : static_cast<int64_t>(std::ceil(left * 1000))};
      min_wait = min_wait ? std::min(*min_wait, wait) : wait;
    }
  }
  // Then the pages waiting for a job, in order, while slots come free.
  while (running < pool_.size() && !queue_.empty()) {
    RequestSlot* const slot = pool_.Acquire();
    if (!slot) break;
    CheckEntry& entry = *queue_.first()->entry;
    Dequeue(entry);
    if (CheckJob* job = StartJob(entry, slot)) Post(*job, running, some_finished);
  }
  if (some_finished || (jobs_.empty() && queue_.empty())) return Flow::kGoOn;

  std::vector<Waitable*> objects = {setup_.stop, setup_.interrupt, setup_.stop_checking,
                                    setup_.list_changed, watch_.valid() ? &watch_ : nullptr};
  if (running == 0 && !min_wait) {
    // Nothing could start and nothing waits: sleep until a slot comes free or the list changes.
    if (pool_.slots().empty()) return Error(err::kGenFailure);
    for (const RequestSlot& slot : pool_.slots()) objects.push_back(&slot.thread->done_event());
    if (WaitForAny(objects, kInfinite).failed()) return Error(err::kGenFailure);
  } else if (!min_wait || *min_wait > Timeout(0)) {
    objects.insert(objects.end(), waits_.begin(), waits_.end());
    if (WaitForAny(objects, min_wait ? *min_wait : kInfinite).failed()) {
      return Error(err::kGenFailure);
    }
  }
  return Flow::kGoOn;
}

Result<CheckPass::Flow> CheckPass::ProcessingSweep() {
  for (CheckJob* job = jobs_.first(); job;) {
    if (ListChanged()) {
      bool dropped = false;
      if (Error e = Relist(dropped)) return e;
      if (dropped) return Flow::kGoOn;
    }
    if (RunJobStep(*job) == JobProgress::kInProgress) {
      job = job->next;
      continue;
    }
    CheckJob* const next = job->next;
    if (!FinishJob(*job)) {
      // Every page file is looked at, so that a renamed page's job goes along to its new name
      // (and writes there in the next sweep) and a deleted page's job goes with it.
      full_relist_ = true;
      bool dropped = false;
      if (Error e = Relist(dropped)) return e;
      return Flow::kGoOn;
    }
    if (StopSeen()) return Flow::kEnd;
    job = next;
  }
  return Flow::kGoOn;
}

}  // namespace

Error RunCheckPass(const PassSetup& setup) {
  if (setup.folder.empty()) return Error(err::kPathNotFound);
  CheckPass pass(setup);
  return pass.Run();
}

}  // namespace tw
