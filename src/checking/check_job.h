// CheckJob: one page being checked in a check pass: the Smart Update job (the page, its frames
// and the learning run, smartupdate/smart_update_job.h) with what the check scheduler keeps for
// it: its request slot, where it stands in the schedule and until when it waits.
//
// The pass owns its jobs in an OwnedList<CheckJob> and touches them from the check thread only;
// nothing here locks.
#pragma once

#include <memory>
#include <string>

#include "foundation/owned_list.h"
#include "platform/file_time.h"
#include "smartupdate/smart_update_job.h"

namespace tw {

// The scheduler's own records, defined by the scheduler.
struct RequestSlot;
struct CheckEntry;

// Where a job stands in the schedule.
enum class Scheduling {
  kReady,    // ready for a request
  kRunning,  // a request is running
  kWaiting,  // waiting for `deadline`
};

struct CheckJob : SmartUpdateJob, ListNode<CheckJob> {
  explicit CheckJob(std::unique_ptr<PageRecord> record) : SmartUpdateJob(std::move(record)) {}

  RequestSlot* slot = nullptr;
  bool changed = false;      // a change of the page or one of its frames was found
  int download_counter = 0;  // 0 or 1, flips at each request; chooses the cookie mode
  Scheduling scheduling = Scheduling::kReady;
  FileTime deadline;  // with Scheduling::kWaiting, sleep until then
  CheckEntry* entry = nullptr;
  // The page's header and address as the job read them: what others wrote to the page file
  // meanwhile shows against them when the job writes its outcome.
  PageHeader read_header;
  std::string read_address;

  // As the Smart Update job's, and the request side starts over too.
  void ResetForNextDocument() {
    SmartUpdateJob::ResetForNextDocument();
    download_counter = 0;
    scheduling = Scheduling::kReady;
  }
};

}  // namespace tw
