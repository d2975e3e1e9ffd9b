#include "checking/request_pool.h"

#include <new>

namespace tw {

RequestPool::RequestPool(std::shared_ptr<const RequestContext> context, uint32_t size,
                         uint32_t timeout_ms)
    : context_(std::move(context)), size_(size), timeout_ms_(timeout_ms) {}

RequestPool::~RequestPool() {
  for (RequestSlot& slot : slots_) slot.thread->Cancel();
}

RequestSlot* RequestPool::Acquire() {
  for (RequestSlot& slot : slots_) {
    if (slot.use_count == 0 && slot.thread->IsDone()) {
      ++slot.use_count;
      return &slot;
    }
  }
  if (slots_.count() >= size_) return nullptr;
  try {
    auto slot = std::make_unique<RequestSlot>();
    slot->thread = std::make_unique<RequestThread>(context_);
    slot->thread->set_timeout_ms(timeout_ms_);
    slot->use_count = 1;
    return slots_.Append(std::move(slot));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void RequestPool::Release(RequestSlot* slot) {
  if (slot && slot->use_count > 0) --slot->use_count;
}

}  // namespace tw
