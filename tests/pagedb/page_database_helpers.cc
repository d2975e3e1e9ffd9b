// Test helper commands that work on a page folder, or run a page database, as another process.
#include <stdio.h>
#include <unistd.h>

#include <atomic>
#include <memory>

#include "pagedb/page_database.h"
#include "pagedb/page_database_support.h"
#include "pagefile/page_file.h"
#include "pagefile/title.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "support/helper_commands.h"
#include "support/sandbox.h"

namespace tw::test {
namespace {

// write-page FOLDER TITLE ADDRESS UPDATED UPDATED_UNIX_SECONDS CONTENT: writes a whole page.
HelperCommand write_page("write-page", [](const std::vector<std::string>& args) {
  if (args.size() != 6) return 2;
  PageRecord record;
  record.title = args[1];
  record.SetAddress(args[2]);
  record.updated = static_cast<uint8_t>(std::stoi(args[3]));
  record.updatedTime = FileTime::FromUnixSeconds(std::stoll(args[4]));
  record.SetContent(args[5]);
  return WritePage(args[0], record).ok() ? 0 : 1;
});

// delete-page FOLDER TITLE
HelperCommand delete_page("delete-page", [](const std::vector<std::string>& args) {
  if (args.size() != 2) return 2;
  return DeletePage(args[0], args[1]).ok() ? 0 : 1;
});

// add-pages FOLDER PREFIX COUNT: adds PREFIX0..PREFIX<COUNT-1> as fast as it can.
HelperCommand add_pages("add-pages", [](const std::vector<std::string>& args) {
  if (args.size() != 3) return 2;
  const int count = std::stoi(args[2]);
  for (int i = 0; i < count; ++i) {
    const std::string title = args[1] + std::to_string(i);
    if (AddPageWithDefaults(args[0], title, "http://" + title + ".org/", {})) return 1;
  }
  return 0;
});

// write-page-when FOLDER TITLE ADDRESS GO: a writer that has the page file open, as a check pass
// has while it writes: the page is written under another name, held with no sharing and moved
// into the folder. Says ready, and lets the file go only when the file GO exists.
HelperCommand write_page_when("write-page-when", [](const std::vector<std::string>& args) {
  if (args.size() != 4) return 2;
  const std::string aside = FolderOf(args[3]);
  PageRecord record;
  record.title = args[1] + ".aside";
  record.SetAddress(args[2]);
  if (WritePage(aside, record)) return 1;
  Result<File> file =
      File::Open(PagePath(aside, record.title),
                 OpenOptions{Access::kReadWrite, Share::kNone, Disposition::kOpenExisting});
  if (!file.ok()) return 1;
  // A plain rename: the held file moves with its lock.
  if (::rename(PagePath(aside, record.title).c_str(), PagePath(args[0], args[1]).c_str()) != 0) {
    return 1;
  }
  SayReady();
  if (!WaitFor([&] { return PathExists(args[3]); }, std::chrono::seconds(60))) return 1;
  return file->Close().ok() ? 0 : 1;
});

// run-pdb: runs a page database on the user's page folder with a subscriber that prints
// "error TEXT" for every error text it is given; says ready once it has reconciled.
HelperCommand run_pdb("run-pdb", [](const std::vector<std::string>&) {
  Result<SettingsStore> store = SettingsStore::OpenUser();
  if (!store.ok()) return 1;
  struct Printer {
    std::atomic<bool> ready{false};
    static void Print(PageEvent& event, void* context) {
      auto* self = static_cast<Printer*>(context);
      if (event.code == page_event::kError) {
        for (const ErrorRecord& r : *event.errors) SayReady("error " + r.text);
      } else if (event.code == page_event::kFolderUnlocked && !self->ready.exchange(true)) {
        SayReady();
      }
    }
  } printer;
  PageDatabase db(*store, std::make_unique<FakeCheckThread>(std::make_shared<CheckThreadLog>()),
                  nullptr);
  if (!db.Subscribe(0xFFFFFFFF, &Printer::Print, &printer)) return 1;
  if (db.Start()) return 1;
  for (;;) ::pause();
});

}  // namespace
}  // namespace tw::test
