#include "settings/options_watcher.h"

#include <memory>

#include "foundation/owned_list.h"
#include "settings/checking_options.h"

namespace tw {

struct OptionsWatcher::Subscription : ListNode<Subscription> {
  MessageQueue* window = nullptr;
  Callback callback = nullptr;
  void* context = nullptr;

  static Subscription Of(MessageQueue* window) {
    Subscription s;
    s.window = window;
    return s;
  }
  static Subscription Of(Callback callback, void* context) {
    Subscription s;
    s.callback = callback;
    s.context = context;
    return s;
  }

  bool Matches(const Subscription& request) const {
    if (request.window) return window == request.window;
    return callback == request.callback && (!request.context || context == request.context);
  }
};

struct OptionsWatcher::Request : MessagePayload {
  Subscription subscription;
  std::shared_ptr<Event> done;  // set once an unsubscription has been carried out
};

OptionsWatcher::OptionsWatcher(SettingsStore store) : store_(std::move(store)) {}

OptionsWatcher::~OptionsWatcher() { Stop(); }

bool OptionsWatcher::StartWatching() {
  watching_ = false;
  if (!Start()) return false;
  // Run signals started either way; it ends at once when it cannot watch.
  if (WaitForAny({&started_event(), &ended_event()}, kInfinite).failed()) return false;
  return watching_;
}

bool OptionsWatcher::Subscribe(MessageQueue* window) {
  return window && Post(kSubscribeMessage, Subscription::Of(window), false);
}

bool OptionsWatcher::Subscribe(Callback callback, void* context) {
  return callback && Post(kSubscribeMessage, Subscription::Of(callback, context), false);
}

bool OptionsWatcher::Unsubscribe(MessageQueue* window) {
  return window && Post(kUnsubscribeMessage, Subscription::Of(window), true);
}

bool OptionsWatcher::Unsubscribe(Callback callback, void* context) {
  return callback && Post(kUnsubscribeMessage, Subscription::Of(callback, context), true);
}

bool OptionsWatcher::Post(uint32_t id, Subscription subscription, bool wait) {
  auto request = std::make_unique<Request>();
  request->subscription = subscription;
  std::shared_ptr<Event> done;
  // From a callback on the thread itself, waiting would never end; the thread drops the
  // subscription as soon as the current notification is over.
  if (wait && std::this_thread::get_id() != thread_id_.load()) {
    done = std::make_shared<Event>(EventReset::kManual);
    request->done = done;
  }
  if (!PostThreadMessage(Message{id, 0, std::move(request)})) return false;
  if (done) (void)WaitForAny({done.get(), &ended_event()}, kInfinite);
  return true;
}

int OptionsWatcher::Run() {
  thread_id_ = std::this_thread::get_id();
  const std::string key(OptionsKey());
  Result<SettingsKey> opened = store_.OpenKey(key, KeyDisposition::kCreate);
  Result<SettingsWatch> watch =
      opened.ok() ? SettingsWatch::Create(store_, key) : Result<SettingsWatch>(opened.error());
  if (!watch.ok()) {
    SignalStarted();
    return -1;
  }
  watching_ = true;
  SignalStarted();

  OwnedList<Subscription> subscriptions;
  auto take_messages = [&](bool stopping) {
    while (std::optional<Message> message = messages().TryGet()) {
      std::unique_ptr<Request> request = TakePayload<Request>(*message);
      if (!request) continue;
      if (message->id == kSubscribeMessage && !stopping) {
        subscriptions.Append(std::make_unique<Subscription>(request->subscription));
      } else if (message->id == kUnsubscribeMessage) {
        for (Subscription& s : subscriptions) {
          if (s.Matches(request->subscription)) {
            subscriptions.Remove(&s);
            break;
          }
        }
      }
      if (request->done) request->done->Set();
    }
  };

  for (;;) {
    const WaitResult result = WaitForAny({&stop_event(), &messages(), &*watch}, kInfinite);
    if (result.index == 0) {
      take_messages(true);
      return 0;
    }
    if (result.index == 1) {
      take_messages(false);
      continue;
    }
    if (result.index != 2) return -1;
    if (!watch->TakeChange()) continue;
    for (Subscription& s : subscriptions) {
      if (s.window) {
        (void)s.window->Post(Message{kOptionsChangedMessage, 0, nullptr});
      } else {
        s.callback(s.context);
      }
    }
  }
}

}  // namespace tw
