// Test helper commands that check a page folder as another process does.
#include <signal.h>

#include <memory>

#include "checking/check_thread.h"
#include "pagedb/page_database.h"
#include "support/helper_commands.h"

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

}  // namespace
}  // namespace tw::test
