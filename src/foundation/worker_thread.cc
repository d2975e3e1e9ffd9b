#include "foundation/worker_thread.h"

#include <sys/resource.h>
#include <unistd.h>

#include <system_error>

namespace tw {
namespace {

// Nice value of a below-normal thread; an unprivileged user may always lower a thread's priority.
constexpr int kBelowNormalNice = 5;

void ApplyPriority(int tid, ThreadPriority priority) {
  if (tid == 0) return;
  const int nice = priority == ThreadPriority::kBelowNormal ? kBelowNormalNice : 0;
  // Raising the priority back to normal can fail for an unprivileged user; that is harmless.
  (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice);
}

}  // namespace

WorkerThread::WorkerThread() { messages_.Close(); }

WorkerThread::~WorkerThread() { Stop(); }

bool WorkerThread::Create() {
  std::lock_guard lifecycle(lifecycle_mutex_);
  std::lock_guard lock(mutex_);
  if (thread_.joinable()) return true;
  if (!stop_event_.valid() || !ended_event_.valid() || !started_event_.valid() ||
      !resume_event_.valid() || !messages_.valid()) {
    return false;
  }
  stop_event_.Reset();
  ended_event_.Reset();
  started_event_.Reset();
  resume_event_.Reset();
  tid_ = 0;
  messages_.Reopen();
  try {
    thread_ = std::thread(&WorkerThread::ThreadProc, this);
  } catch (const std::system_error&) {
    messages_.Close();
    ended_event_.Set();
    return false;
  }
  return true;
}

void WorkerThread::Stop() {
  {
    std::lock_guard lock(mutex_);
    // No thread, or one that another Stop is joining: nothing to wait for here (and the worker
    // itself must never wait for the lifecycle lock that its joiner holds).
    if (!thread_.joinable()) return;
    if (thread_.get_id() == std::this_thread::get_id()) {
      stop_event_.Set();  // a thread cannot join itself; it ends when its Run sees the stop
      return;
    }
  }
  // Held across the join: a Create on another thread waits until the old thread is gone, so it
  // can neither reset the stop the old thread has yet to see nor have its queue closed.
  std::lock_guard lifecycle(lifecycle_mutex_);
  std::thread thread;
  {
    std::lock_guard lock(mutex_);
    if (!thread_.joinable()) return;
    stop_event_.Set();
    resume_event_.Set();
    thread = std::move(thread_);
  }
  thread.join();  // the thread closed its queue as it ended
}

bool WorkerThread::Start() {
  Stop();
  return Create() && Resume();
}

bool WorkerThread::Resume() {
  std::lock_guard lock(mutex_);
  if (!thread_.joinable()) return false;
  resume_event_.Set();
  return true;
}

void WorkerThread::SetPriority(ThreadPriority priority) {
  priority_ = priority;
  ApplyPriority(tid_.load(), priority);
}

bool WorkerThread::PostThreadMessage(Message message) {
  if (!HasThread()) return false;
  return messages_.Post(std::move(message));
}

bool WorkerThread::HasThread() const {
  std::lock_guard lock(mutex_);
  return thread_.joinable();
}

void WorkerThread::ThreadProc() {
  resume_event_.Wait();
  tid_ = static_cast<int>(::gettid());
  ApplyPriority(tid_.load(), priority_.load());
  ended_event_.Reset();
  exit_code_ = Run();
  tid_ = 0;  // the id may be handed to another thread now; priority changes must not reach it
  messages_.Close();
  ended_event_.Set();
}

}  // namespace tw
