#include "service/serve.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <optional>

#include "api/dispatcher.h"
#include "app/application.h"
#include "app/messages.h"
#include "foundation/event.h"
#include "foundation/waitable.h"
#include "platform/desktop_open.h"
#include "platform/process.h"
#include "service/http_service.h"
#include "service/instance.h"

namespace tw::service {
namespace {

constexpr std::string_view kRunInBackground = "RunBkg";
// A service that is starting has its address out within this time.
constexpr std::chrono::seconds kStartTimeout{20};

std::atomic<Event*> g_stop_event{nullptr};

// From SIGINT and SIGTERM: async-signal-safe.
void OnInterrupt() {
  app::InterruptChecksFromSignal();
  if (Event* stop = g_stop_event.load()) stop->Set();
}

void Say(const std::string& text, FILE* to = stderr) {
  std::fwrite(text.data(), 1, text.size(), to);
  std::fflush(to);
}

bool RunBackgroundIn(const std::vector<SettingsValue>& values, bool fallback) {
  for (const SettingsValue& value : values) {
    if (value.name == kRunInBackground && value.type == SettingsType::kDword)
      return value.dword != 0;
  }
  return fallback;
}

// Another service of this user runs: its address, as ours would have been.
int PointToRunningService() {
  Result<std::string> address = RunningServiceAddress(kStartTimeout);
  if (!address.ok()) {
    Say("tidewell serve: another Tidewell service runs for this user, but its address cannot be "
        "found.\n");
    return 1;
  }
  Say(*address + "\n", stdout);
  Say("tidewell serve: Tidewell already runs for this user; open the address above.\n");
  return 0;
}

}  // namespace

int RunServe(app::Application& app, const ServeOptions& options) {
  KeepHeapCompact();
  IgnoreBrokenPipes();
  Result<ServiceInstance> instance = ServiceInstance::Claim();
  if (!instance.ok()) {
    if (instance.error().code() == err::kSharingViolation) return PointToRunningService();
    Say("tidewell serve: the runtime folder cannot be used: " +
        app::ErrorSentence(instance.error()) + "\n");
    return 1;
  }
  Result<std::string> secret = instance->Secret();
  if (!secret.ok()) {
    Say("tidewell serve: the secret cannot be kept: " + app::ErrorSentence(secret.error()) + "\n");
    return 1;
  }

  Event stop(EventReset::kManual);
  Event changed(EventReset::kAuto);
  g_stop_event = &stop;
  HandleInterrupts(&OnInterrupt);

  {
    // The service's own hold on the shared objects: the page database and its schedule run for
    // as long as the service does.
    app::Outcome<app::Application::Window> held = app.OpenWindow();
    if (!held.ok()) {
      Say("tidewell serve: " + held.message().text + " " + held.message().detail + "\n");
      g_stop_event = nullptr;
      return 1;
    }
    // With no window open, the desktop tells of updated pages and errors.
    app.ShowNotificationsOnDesktop(true);
    std::atomic<bool> run_background{true};
    if (app::Outcome<std::vector<SettingsValue>> settings = app.GetSettings(); settings.ok()) {
      run_background = RunBackgroundIn(*settings, true);
    }
    app::Application::Subscription settings_watch =
        app.Subscribe(app::kOptionsEvents, [&](const app::AppEvent& event) {
          run_background = RunBackgroundIn(event.settings, run_background);
          changed.Set();
        });

    api::Dispatcher dispatcher(app, {WindowSetting::kHost, options.version});
    HttpService http(app, dispatcher);
    http.SetStreamsChanged([&changed](size_t) { changed.Set(); });
    const int wanted = options.port_given ? options.port : kDefaultPort;
    Result<int> port = http.Start(wanted, *secret);
    if (!port.ok() && !options.port_given) port = http.Start(0, *secret);
    if (!port.ok()) {
      Say("tidewell serve: cannot listen on 127.0.0.1:" + std::to_string(wanted) + ": " +
          app::ErrorSentence(port.error()) + "\n");
      g_stop_event = nullptr;
      return 1;
    }
    const std::string address = OpenAddress(*port, *secret);
    app.SetWindowOpener([bound = *port, key = *secret](const app::WindowStart& start) {
      return !OpenWithDesktop(OpenAddress(bound, key, start));
    });
    if (Error e = instance->PublishAddress(address)) {
      Say("tidewell serve: the address cannot be written for other programs: " +
          app::ErrorSentence(e) + "\n");
    }
    Say(address + "\n", stdout);

    // Without RunBkg, the service ends when no window has been open for a while.
    bool idle = true;
    auto idle_since = std::chrono::steady_clock::now();
    for (;;) {
      Timeout timeout = kInfinite;
      if (!run_background && idle) {
        const auto left = idle_since + options.idle_exit - std::chrono::steady_clock::now();
        timeout = std::max(std::chrono::duration_cast<Timeout>(left), Timeout(0));
      }
      const WaitResult woke = WaitForAny({&stop, &changed}, timeout);
      if (woke.Is(stop) || woke.failed() || woke.timed_out()) break;
      const bool now_idle = http.open_streams() == 0;
      if (now_idle && !idle) idle_since = std::chrono::steady_clock::now();
      idle = now_idle;
    }
    instance->Withdraw();
    app.SetWindowOpener(nullptr);
    app.ShowNotificationsOnDesktop(false);
    http.Stop();
    settings_watch.Reset();
    // Letting go of the last window stops the shared objects: their threads end and the page
    // folder's lock is closed.
  }
  g_stop_event = nullptr;
  return 0;
}

int OpenUi(const std::string& program) {
  Result<Process> service = Process::StartDetached({program, "serve"}, /*read_output=*/true);
  if (!service.ok()) {
    Say("tidewell: the service cannot be started: " + app::ErrorSentence(service.error()) + "\n");
    return 1;
  }
  const std::optional<std::string> address = service->ReadOutputLine(kStartTimeout);
  if (!address || address->empty()) {
    Say("tidewell: the service did not start; run 'tidewell serve' to see why.\n");
    return 1;
  }
  if (Error e = OpenWithDesktop(*address)) {
    Say("tidewell: open this address in your web browser:\n");
    Say(*address + "\n", stdout);
    return 1;
  }
  return 0;
}

}  // namespace tw::service
