#include "nativehost/native_host.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <new>

#include "api/dispatcher.h"
#include "api/json_values.h"
#include "app/messages.h"
#include "foundation/event.h"
#include "nativehost/event_pump.h"
#include "nativehost/frame.h"
#include "nativehost/outgoing.h"
#include "platform/byte_channel.h"
#include "platform/process.h"

namespace tw::nativehost {
namespace {

constexpr std::string_view kSubscribe = "events.subscribe";
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;

std::atomic<Event*> g_stop_event{nullptr};

// From SIGINT and SIGTERM: async-signal-safe.
void OnInterrupt() {
  app::InterruptChecksFromSignal();
  if (Event* stop = g_stop_event.load()) stop->Set();
}

void Say(const std::string& text) {
  const std::string line = "tidewell native-host: " + text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

api::Json ErrorReply(const api::Json& id, const app::UserMessage& message, std::string code,
                     std::string detail) {
  api::Json error = api::ErrorJson(message);
  error["code"] = std::move(code);
  error["detail"] = std::move(detail);
  return {{"id", id}, {"error", std::move(error)}};
}

class Host {
 public:
  Host(app::Application& app, ByteChannel& channel, const NativeHostOptions& options)
      : app_(app),
        channel_(channel),
        dispatcher_(app, {WindowSetting::kSideBar, options.version}) {}

  ~Host() { pump_.reset(); }

  Event& stop() { return stop_; }

  int Serve() {
    FrameReader reader(channel_);
    for (;;) {
      Frame frame = reader.Next(stop_);
      switch (frame.status) {
        case FrameStatus::kMessage:
          Answer(frame.message);
          break;
        case FrameStatus::kEnd:
        case FrameStatus::kStopped:
          return kExitOk;
        case FrameStatus::kTooLarge:
          (void)Send(api::Serialize(ErrorReply(
              nullptr, app::InternalErrorMessage(), "too-large",
              "a message of " + std::to_string(frame.length) + " bytes is more than the " +
                  std::to_string(kMaxIncoming) + " a host takes; the port cannot be read on")));
          Say("the browser sent a message longer than the limit; ending");
          return kExitFailed;
        case FrameStatus::kTruncated:
          Say("the port closed in the middle of a message");
          return kExitFailed;
        case FrameStatus::kFailed:
          Say("the port cannot be read: " + app::ErrorSentence(frame.error));
          return kExitFailed;
      }
    }
  }

 private:
  // Writes one message; a browser that has gone ends the host.
  Error Send(std::string_view message) {
    std::lock_guard lock(write_mutex_);
    Error e = channel_.Write(EncodeFrame(message), stop_);
    if (e) stop_.Set();
    return e;
  }

  void Answer(std::string_view text) {
    std::optional<std::string> reply;
    try {
      reply = Handle(text);
    } catch (const std::bad_alloc&) {
      reply = api::Serialize(ErrorReply(nullptr, app::NotEnoughMemoryMessage(), "not-enough-memory",
                                        "the request could not be carried out in the memory left"));
    } catch (const std::exception& e) {
      reply =
          api::Serialize(ErrorReply(IdOf(text), app::InternalErrorMessage(), "internal", e.what()));
    }
    if (reply) (void)Send(ReplyText(std::move(*reply), text));
  }

  // The reply to a request; nothing when it has been sent already.
  std::optional<std::string> Handle(std::string_view text) {
    const std::optional<api::Request> request = api::ParseRequest(text);
    if (!request) {
      return api::Serialize(
          api::Dispatcher::InvalidRequest(IdOf(text), "the message is not a request"));
    }
    if (request->method == kSubscribe) {
      // The reply goes out first; the events follow it on the pump's thread.
      pump_.reset();
      (void)Send(api::Serialize({{"id", request->id}, {"result", api::Json::object()}}));
      pump_ = std::make_unique<EventPump>(
          app_, [this](std::string_view message) { return Send(message); });
      pump_->Start();
      return std::nullopt;
    }
    return dispatcher_.Handle(*request);
  }

  app::Application& app_;
  ByteChannel& channel_;
  api::Dispatcher dispatcher_;
  Event stop_{EventReset::kManual};
  std::mutex write_mutex_;
  std::unique_ptr<EventPump> pump_;
};

}  // namespace

int RunNativeHost(app::Application& app, const NativeHostOptions& options) {
  KeepHeapCompact();
  Result<ByteChannel> channel = ByteChannel::TakeStandardStreams();
  if (!channel.ok()) {
    Say("the browser's port cannot be used: " + app::ErrorSentence(channel.error()));
    return kExitFailed;
  }
  // The port's hold on the shared objects: the page database and its schedule run while the
  // browser keeps the port open.
  app::Outcome<app::Application::Window> window = app.OpenWindow();
  if (!window.ok()) {
    Say(window.message().text + " " + window.message().detail);
    return kExitFailed;
  }
  int status = kExitOk;
  {
    Host host(app, *channel, options);
    g_stop_event = &host.stop();
    HandleInterrupts(&OnInterrupt);
    status = host.Serve();
    g_stop_event = nullptr;
  }
  // Letting go of the window stops the shared objects: their threads end and the page folder's
  // lock is closed.
  return status;
}

}  // namespace tw::nativehost
