// What the page database needs of its check thread. The check thread itself belongs to update
// checking; the page database owns one through this interface and drives it:
//
//   before Start   SetEventSink (where checking-started events and errors go), SetPageFolder,
//                  SetPassSettings and ApplySchedule from the options
//   Start          the thread in service mode, waited for until it runs
//   while running  SignalNewPages, SignalPageListChanged, SignalStopChecking, SignalCheckNow;
//                  PassRunning;
//                  SetPageFolder, SetPassSettings and ApplySchedule again when options change
//   SignalStop     asks the thread to end without waiting (from the page database thread)
//   Stop           ends the thread and waits for it
//   RunOnce        instead of Start: one pass over all pages, returning its error when it has
//                  ended
//
// Every member may be called from any thread except the check thread's own.
#pragma once

#include <cstdint>
#include <string>

#include "pagedb/page_events.h"
#include "platform/error.h"
#include "settings/checking_options.h"

namespace tw {

class CheckThreadControl {
 public:
  virtual ~CheckThreadControl() = default;

  // Events of mask 0x10 and error events go here (the page database); errors are reported with
  // ReportError of the error log.
  virtual void SetEventSink(PageEventSink* sink) = 0;
  virtual void SetPageFolder(const std::string& folder) = 0;
  // Taken by the next pass: each pass builds its request pool from them.
  virtual void SetPassSettings(const PassSettings& settings) = 0;
  // The online schedule (unit 1 = minutes, else hours; count 0 = none) for the ScheduleTimer;
  // an unchanged pair must not restart it.
  virtual void ApplySchedule(uint32_t unit, uint32_t count) = 0;

  // New page files that were never checked have appeared: check them (the new-pages event).
  virtual void SignalNewPages() = 0;
  // Page files appeared, changed or vanished: a running pass lists the folder again.
  virtual void SignalPageListChanged() = 0;
  // The user asked to stop checking ("crs" seen while this process's pass runs).
  virtual void SignalStopChecking() = 0;
  // The user asked for a check of all pages now (the Refresh command).
  virtual void SignalCheckNow() = 0;
  // True while a pass of this process holds the folder's lock file.
  virtual bool PassRunning() const = 0;

  virtual bool Start() = 0;
  virtual void SignalStop() = 0;
  virtual void Stop() = 0;
  virtual Error RunOnce() = 0;
};

// The check control of a page database that never checks: the private database of a one-shot
// add, which only finds the page folder and reads the options.
class NoChecking final : public CheckThreadControl {
 public:
  void SetEventSink(PageEventSink*) override {}
  void SetPageFolder(const std::string&) override {}
  void SetPassSettings(const PassSettings&) override {}
  void ApplySchedule(uint32_t, uint32_t) override {}
  void SignalNewPages() override {}
  void SignalPageListChanged() override {}
  void SignalStopChecking() override {}
  void SignalCheckNow() override {}
  bool PassRunning() const override { return false; }
  bool Start() override { return true; }
  void SignalStop() override {}
  void Stop() override {}
  Error RunOnce() override { return Error(err::kGenFailure); }
};

}  // namespace tw
