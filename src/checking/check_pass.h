// CheckPass: one pass of the check thread over the page folder.
//
// The pass holds the folder's "lock" with no sharing from start to end, so that one pass per
// folder runs at a time across processes (a pass that finds it held ends at once, successfully).
// It lists the page files, makes a CheckJob for each page to check, fetches through a RequestPool
// and writes each page's outcome back whole. The list is kept in step with the folder while the
// pass runs: on the page-list-changed event and on its own folder watch, which also sees page
// files that are edited while the folder is locked. A page renamed meanwhile keeps its entry and
// its job (a file is known by its FileId), so that no rename has a page checked twice as new.
//
// An outcome is written only over the file its job read: the file is read again under the
// write's own exclusive hold, and whatever a user changed since is kept. A page started over or
// set up anew meanwhile (Properties, a wizard, a reset) keeps its new start and is checked again
// in the same pass; an updated flag cleared meanwhile stays cleared unless the check found a
// change of its own.
//
// Memory follows the pool, not the folder: pages are listed with their header and address only;
// a page's job is made, and the page read whole, when a request slot is free for it, and both go
// when the job finishes.
//
// A stop is seen at the top of each sweep, after each finished job and in every wait: the
// thread's stop event or the process's interrupt end the pass as they find it; the
// stop-checking event (and, in a one-shot pass, a "crs" marker written by any process) ends it
// as the user's stop, which leaves "daa" behind. Page files are never left part-written.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "checking/request_context.h"
#include "foundation/event.h"
#include "pagedb/page_events.h"
#include "platform/error.h"

namespace tw {

enum class PassKind { kAllPages, kNewPagesOnly };

struct PassSetup {
  std::string folder;
  PassKind kind = PassKind::kAllPages;
  // No page database thread watches the folder for this pass: it acts on "crs" itself.
  bool one_shot = false;
  uint32_t pool_size = 1;
  uint32_t timeout_ms = 40000;
  // Earlier versions kept of each page found changed (0: none).
  uint32_t keep_versions = 0;
  std::shared_ptr<const RequestContext> context;
  PageEventSink* sink = nullptr;  // may be null
  Event* stop = nullptr;
  Event* interrupt = nullptr;
  Event* stop_checking = nullptr;
  Event* list_changed = nullptr;
  std::atomic<bool>* pass_running = nullptr;  // set once the lock is held
};

// Runs one pass; fails when the pass could not be carried out (the lock file cannot be opened or
// written, the folder cannot be listed, a wait fails). Pages that fail are recorded in their
// files, and files that cannot be written back are reported, without failing the pass.
Error RunCheckPass(const PassSetup& setup);

}  // namespace tw
