#include "host/refresh.h"

#include <memory>

#include "checking/check_thread.h"
#include "host/page_functions.h"
#include "pagedb/page_database.h"
#include "platform/settings_store.h"

namespace tw {
namespace {

void OnCheckingEvent(PageEvent& event, void* context) {
  if (event.code == page_event::kFolderLocked) {
    static_cast<RefreshObserver*>(context)->OnCheckingStarted();
  }
}

}  // namespace

Error RefreshPages(RefreshObserver* observer) {
  Result<SettingsStore> store = SettingsStore::OpenUser();
  if (!store.ok()) return store.error();
  PageDatabase database(*store, std::make_unique<CheckThread>(), nullptr);
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

int RefreshPDB() { return RefreshPages(nullptr) ? kPageFunctionFailed : kRefreshDone; }

}  // namespace tw
