// The unattended check of all pages behind RefreshPDB, with what a progress display may watch.
#pragma once

#include <string>

#include "platform/error.h"

namespace tw {

class RefreshObserver {
 public:
  virtual ~RefreshObserver() = default;
  // The page folder, once found, before the check begins.
  virtual void OnPageFolder(const std::string& folder) = 0;
  // This check got the folder's lock and has begun. Called on the check thread.
  virtual void OnCheckingStarted() = 0;
};

// One check pass over all pages of the page folder, returning when it has ended. Fails with the
// reason when the page folder cannot be found, the pass could not run or the pass failed; a pass
// that finds another process checking the folder leaves the pages to it and succeeds.
Error RefreshPages(RefreshObserver* observer);

}  // namespace tw
