#include "settings/options_watcher.h"

#include <memory>

#include "foundation/owned_list.h"
#include "settings/checking_options.h"

namespace tw {

struct OptionsWatcher::Subscription : ListNode<Subscription> {
  explicit Subscription(Target w) : who(w) {}
  Target who;
};

struct OptionsWatcher::Request : MessagePayload {
  Target who;
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
  return window && Post(kSubscribeMessage, Target::Window(window), Completion::kQueued);
}

bool OptionsWatcher::Subscribe(Callback callback, void* context) {
  return callback &&
         Post(kSubscribeMessage, Target::Function(callback, context), Completion::kQueued);
}

bool OptionsWatcher::Unsubscribe(MessageQueue* window) {
  return window && Post(kUnsubscribeMessage, Target::Window(window), Completion::kCarriedOut);
}

bool OptionsWatcher::Unsubscribe(Callback callback, void* context) {
  return callback &&
         Post(kUnsubscribeMessage, Target::Function(callback, context), Completion::kCarriedOut);
}

bool OptionsWatcher::Post(uint32_t id, Target who, Completion completion) {
  auto request = std::make_unique<Request>();
  request->who = who;
  std::shared_ptr<Event> done;
  // From a callback on the thread itself, waiting would never end; the thread drops the
  // subscription as soon as the current notification is over.
  if (completion == Completion::kCarriedOut && std::this_thread::get_id() != thread_id_.load()) {
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
        subscriptions.Append(std::make_unique<Subscription>(request->who));
      } else if (message->id == kUnsubscribeMessage) {
        for (Subscription& s : subscriptions) {
          if (s.who.Matches(request->who, Target::Context::kAnyWhenNone)) {
            subscriptions.Remove(&s);
            break;
          }
        }
      }
      if (request->done) request->done->Set();
    }
  };

  for (;;) {
    const WaitResult woke = WaitForAny({&stop_event(), &messages(), &*watch}, kInfinite);
    if (woke.Is(stop_event())) {
      take_messages(true);
      return 0;
    }
    if (woke.Is(messages())) {
      take_messages(false);
      continue;
    }
    if (!woke.Is(*watch)) return -1;
    if (!watch->TakeChange()) continue;
    for (Subscription& s : subscriptions) {
      if (s.who.window) {
        (void)s.who.window->Post(Message{kOptionsChangedMessage, 0, nullptr});
      } else {
        s.who.callback(s.who.context);
      }
    }
  }
}

}  // namespace tw
