// NotificationThread: tells the user of pages that have just become updated and of errors, one
// dialog at a time, without ever holding up the page database or a window.
//
// Announcing updated pages plays the sound (whatever PageNotify says) and, while PageNotify is
// on, shows the Updated Pages dialog: in a window of the process when one is there, otherwise as
// a desktop notification whose action opens a window on the dialog. When the notification names
// one page, and earlier versions of pages are kept, it also offers "Show Changes", which opens a
// window on that page's changes; the user has then seen the page, and the dialog is done. While any
// process shows the dialog it holds "ntf" in the page folder with no sharing, so that of several
// processes on one folder only one shows it; the others drop their pages without a word. Pages
// announced while the dialog is shown are added to it. "Do not show this window again" sets
// PageNotify to 0. Errors go to the Errors dialog the same way (or a desktop notification); they
// are neither sounded nor gated by a setting.
//
// Pages that Smart History proposes wait for a window, which shows them in its Smart History
// dialog. While no window is there, the desktop is told once of the pages waiting (again only
// when a page joins them); its action opens a window on the dialog. A window that comes withdraws
// the notification, as does the last proposal settled.
//
// The windows are the application's (NotificationWindows): the thread asks them to show a dialog
// and waits, without blocking anything else, for the answer that the application hands back with
// Answer().
//
// Threads: Announce*, Answer and WindowsChanged may be called from any thread (they post to the
// notification thread); the NotificationWindows members are called on the notification thread.
// Stop protocol: Stop() sets the stop event; the thread withdraws what it shows, closes "ntf" and
// ends; queued announcements are dropped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "foundation/worker_thread.h"
#include "notify/window_start.h"
#include "platform/settings_store.h"

namespace tw {

struct AnnouncedPage {
  std::string title;
  std::string address;
};

// The windows of the process, as the notification thread sees them.
class NotificationWindows {
 public:
  virtual ~NotificationWindows() = default;
  // Whether a window is there to show a dialog.
  virtual bool HasWindow() = 0;
  // Asks a window to show the Updated Pages dialog `id` with these pages, or, for an `id` it
  // shows already, to add them. False when no window took it.
  virtual bool ShowUpdatedPages(uint64_t id, const std::vector<AnnouncedPage>& pages,
                                bool do_not_show_again) = 0;
  // The same for the Errors dialog.
  virtual bool ShowErrors(uint64_t id, const std::vector<std::string>& errors) = 0;
  // A message box in a window; false when there is none.
  virtual bool ShowMessage(const std::string& text) = 0;
  // Opens a window for the user (the UI in the browser), showing `start` first; false when that
  // cannot be done.
  virtual bool OpenWindow(const WindowStart& start) = 0;
};

class NotificationThread final : public WorkerThread {
 public:
  // How long a window that the desktop notification's action opened is waited for.
  static constexpr Timeout kWindowWait = std::chrono::seconds(60);

  NotificationThread(SettingsStore store, NotificationWindows* windows);
  ~NotificationThread() override;

  // Post to the thread; false when it does not run.
  bool AnnounceUpdatedPages(std::vector<AnnouncedPage> pages);
  bool AnnounceErrors(std::vector<std::string> errors);
  // Every page waiting for the Smart History dialog now (none: nothing waits any more).
  bool AnnounceProposals(std::vector<AnnouncedPage> pages);
  // A window's answer to dialog `id`: it was closed, with the page the user chose and the state of
  // "Do not show this window again" (Updated Pages); `abandoned` when the window went away
  // without answering.
  struct DialogAnswer {
    uint64_t id = 0;
    std::optional<std::string> chosen_title;
    bool do_not_show_again = false;
    bool abandoned = false;
  };
  bool Answer(DialogAnswer answer);
  // Windows came or went.
  bool WindowsChanged();

 protected:
  int Run() override;

 private:
  class Loop;
  SettingsStore store_;
  NotificationWindows* windows_;
};

}  // namespace tw
