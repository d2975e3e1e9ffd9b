// Test helper commands that check a page folder as another process does.
#include <signal.h>
#include <stdio.h>

#include <memory>

#include "checking/check_thread.h"
#include "pagedb/page_database.h"
#include "pagefile/page_file.h"
#include "pagefile/title.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "support/helper_commands.h"
#include "support/sandbox.h"

namespace tw::test {
namespace {

void Interrupt(int) { CheckThread::InterruptFromSignal(); }

// check-once: the unattended refresh as the host runs it, on the user's page folder and options:
// a page database started without threads and one pass on its check thread. SIGINT and SIGTERM
// interrupt the pass. Says "ready" before the pass and "done 1" (or "done 0" when it failed) after.
HelperCommand check_once("check-once", [](const std::vector<std::string>&) {
  struct sigaction action = {};
  action.sa_handler = &Interrupt;
  sigemptyset(&action.sa_mask);
  if (sigaction(SIGTERM, &action, nullptr) != 0 || sigaction(SIGINT, &action, nullptr) != 0) {
    return 1;
  }
  Result<SettingsStore> store = SettingsStore::OpenUser();
  if (!store.ok()) return 1;
  PageDatabase db(*store, std::make_unique<CheckThread>(), nullptr);
  if (db.Start(PageDatabase::StartMode::kOptionsOnly)) return 1;
  SayReady();
  const bool passed = db.RunCheckPassOnce().ok();
  SayReady(passed ? "done 1" : "done 0");
  return passed ? 0 : 1;
});

// The page file held as a writer holds it, with the edit made: in place, or as a new file that
// takes the page's name while it is held.
Result<File> HoldEdited(const std::string& folder, const std::string& title,
                        const std::string& edit, const std::string& aside) {
  const OpenOptions alone{Access::kReadWrite, Share::kNone, Disposition::kOpenExisting};
  if (edit == "properties") {
    Result<PageSummary> page = ReadPageSummary(folder, title);
    if (!page.ok()) return page.error();
    const PageSettings settings{.smartUpdate = true, .ignoreExpires = true};
    if (Error e = SetPageOptions(aside, title, page->address, settings)) return e;
    Result<File> file = File::Open(PagePath(aside, title), alone);
    if (!file.ok()) return file;
    // A plain rename: the held file moves with its lock.
    if (::rename(PagePath(aside, title).c_str(), PagePath(folder, title).c_str()) != 0) {
      return Error::LastErrno();
    }
    return file;
  }
  Result<File> file = File::Open(PagePath(folder, title), alone);
  if (!file.ok() || edit != "clear-updated") return file;
  PageHeaderBytes bytes{};
  if (Error e = file->ReadExact(bytes.data(), bytes.size())) return e;
  PageHeader header = DecodePageHeader(bytes);
  header.updated = 0;
  bytes = EncodePageHeader(header);
  if (Error e = file->Seek(0)) return e;
  if (Error e = file->WriteAll(bytes.data(), bytes.size())) return e;
  return file;
}

// edit-page-when FOLDER TITLE EDIT GO: a user's edit of a page, made by a writer that has the page
// file open at the moment a check pass wants it. EDIT is "clear-updated" (the updated flag cleared
// in place), "properties" (Smart Update on and Ignore Expires: the page starts over) or
// "rename:NEW" (the page renamed to NEW just before it is let go). Says ready once the page is
// held (and edited), and lets it go when the file GO exists.
HelperCommand edit_page_when("edit-page-when", [](const std::vector<std::string>& args) {
  if (args.size() != 4) return 2;
  const std::string& folder = args[0];
  const std::string& title = args[1];
  const std::string& edit = args[2];
  const std::string& go = args[3];
  Result<File> held = HoldEdited(folder, title, edit, FolderOf(go));
  if (!held.ok()) {
    SayReady("error " + std::to_string(held.error().code()));
    return 1;
  }
  SayReady();
  if (!WaitFor([&] { return PathExists(go); }, std::chrono::seconds(60))) return 1;
  if (edit.starts_with("rename:")) {
    const std::string renamed = PagePath(folder, edit.substr(edit.find(':') + 1));
    if (::rename(PagePath(folder, title).c_str(), renamed.c_str()) != 0) return 1;
  }
  return held->Close().ok() ? 0 : 1;
});

}  // namespace
}  // namespace tw::test
