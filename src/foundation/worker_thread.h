// WorkerThread: the base of every background thread, with one start and stop protocol.
//
// A thread is made suspended (Create), let go (Resume) or both at once (Start). Stop sets the
// stop event, lets a suspended thread go and waits without limit for the thread to end; every Run
// therefore tests stop_event() often, or waits on it among its other objects. Starters that must
// not go on before the thread is ready wait for started_event(), which Run sets.
//
// Threads: Create, Start, Stop, Resume and PostThreadMessage may be called from any thread but
// the worker itself (Stop from the worker only asks it to stop). A derived class must call Stop()
// in its own destructor, because Run uses the derived object; the base destructor stops as a last
// resort. Objects that own threads are neither copied nor moved.
#pragma once

#include <atomic>
#include <mutex>
#include <thread>

#include "foundation/event.h"
#include "foundation/message_queue.h"
#include "foundation/thread_annotations.h"

namespace tw {

enum class ThreadPriority { kNormal, kBelowNormal };

class WorkerThread {
 public:
  WorkerThread();
  virtual ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Makes the thread, suspended, unless one exists; clears the stop and ended events.
  // True if a thread exists or was made.
  virtual bool Create();
  // Asks the thread to end and waits for it; harmless when there is no thread.
  virtual void Stop();
  // Stops a thread that exists, then creates and resumes a fresh one.
  bool Start();
  bool Resume();
  void SetPriority(ThreadPriority priority);

  // Queues a message for the thread; fails without side effects when no thread exists.
  bool PostThreadMessage(Message message);
  bool StopRequested() const { return stop_event_.IsSet(); }
  bool HasThread() const;
  // Run's return value once the thread has ended.
  int exit_code() const { return exit_code_.load(); }

  Event& stop_event() { return stop_event_; }
  Event& ended_event() { return ended_event_; }
  Event& started_event() { return started_event_; }

 protected:
  // The thread body; returns the thread's exit value.
  virtual int Run() = 0;
  void SignalStarted() { started_event_.Set(); }
  // The thread's own queue of posted messages; only the thread takes from it.
  MessageQueue& messages() { return messages_; }

 private:
  void ThreadProc();

  Event stop_event_{EventReset::kManual};
  Event ended_event_{EventReset::kManual, true};
  Event started_event_{EventReset::kManual};
  Event resume_event_{EventReset::kManual};
  MessageQueue messages_;
  std::atomic<int> exit_code_{0};
  std::atomic<ThreadPriority> priority_{ThreadPriority::kNormal};
  std::atomic<int> tid_{0};

  std::mutex lifecycle_mutex_;  // serialises Create and Stop; held across the join
  mutable std::mutex mutex_;
  std::thread thread_ TW_GUARDED_BY(mutex_);
};

}  // namespace tw
