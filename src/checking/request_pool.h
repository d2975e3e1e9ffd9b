// RequestPool: the request threads of one check pass, as slots that jobs take in turn.
//
// A slot holds one RequestThread and a use count. A job that needs a request takes the first slot
// nobody uses whose thread is idle, or a new slot while the pool has fewer than its size; it keeps
// the slot (also while it waits for a deadline) until it finishes. Threads and their connections
// live as long as the pool. Check thread only; nothing here locks.
#pragma once

#include <cstdint>
#include <memory>

#include "checking/request_context.h"
#include "checking/request_thread.h"
#include "foundation/owned_list.h"

namespace tw {

struct RequestSlot : ListNode<RequestSlot> {
  int use_count = 0;
  std::unique_ptr<RequestThread> thread;  // owns a thread: never moved
};

class RequestPool {
 public:
  RequestPool(std::shared_ptr<const RequestContext> context, uint32_t size, uint32_t timeout_ms);
  // Cancels every running request first, so that the threads end together rather than in turn.
  ~RequestPool();
  RequestPool(const RequestPool&) = delete;
  RequestPool& operator=(const RequestPool&) = delete;

  // A slot for a job, its use count raised; null when none is free.
  RequestSlot* Acquire();
  void Release(RequestSlot* slot);

  uint32_t size() const { return size_; }
  const OwnedList<RequestSlot>& slots() const { return slots_; }

 private:
  const std::shared_ptr<const RequestContext> context_;
  const uint32_t size_;
  const uint32_t timeout_ms_;
  OwnedList<RequestSlot> slots_;
};

}  // namespace tw
