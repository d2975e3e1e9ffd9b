// Subscriber: who is told of something, in the one form every notifier of the system uses: a
// window (a message queue that some thread serves, which receives a posted message) or a
// function called with a context. The page database and the options watcher keep their
// subscribers in these. A plain value; its owner's list decides which threads touch it.
#pragma once

#include "foundation/message_queue.h"

namespace tw {

template <class Callback>
struct Subscriber {
  MessageQueue* window = nullptr;
  Callback callback = nullptr;
  void* context = nullptr;

  static Subscriber Window(MessageQueue* queue) {
    Subscriber s;
    s.window = queue;
    return s;
  }
  static Subscriber Function(Callback function, void* function_context) {
    Subscriber s;
    s.callback = function;
    s.context = function_context;
    return s;
  }

  enum class Context { kExact, kAnyWhenNone };
  bool valid() const { return window != nullptr || callback != nullptr; }
  // Whether this is the subscriber that `wanted` names: the same window, or the same function
  // with the same context (with kAnyWhenNone, a wanted function without a context matches any
  // context of it).
  bool Matches(const Subscriber& wanted, Context rule = Context::kExact) const {
    if (wanted.window) return window == wanted.window;
    if (!callback || callback != wanted.callback) return false;
    return context == wanted.context || (rule == Context::kAnyWhenNone && !wanted.context);
  }
};

}  // namespace tw
