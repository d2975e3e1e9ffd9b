// The service's place among the user's processes: one `tidewell serve` per user (per runtime
// folder), its secret and the address it published.
//
// In the user's private runtime folder (PrivateRuntimeDir): "serve.lock", held with no sharing for
// the service's whole life (the system lets go of it when the process dies, however it dies);
// "secret", the secret every request must carry, kept for the login session so that an open window
// reconnects after a restart; "url", the address to open, written once the service listens.
// Both files are readable by the user alone.
//
// Threads: the main thread of `tidewell serve`.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "app/application.h"
#include "platform/error.h"
#include "platform/file.h"

namespace tw::service {

class ServiceInstance {
 public:
  // Takes the instance lock; fails with 32 when another service of the user runs.
  static Result<ServiceInstance> Claim();

  // The session's secret, made when there is none.
  Result<std::string> Secret() const;
  // Writes the address to open.
  Error PublishAddress(const std::string& address) const;
  // Removes the address, when the service ends.
  void Withdraw() const;

  const std::string& folder() const { return folder_; }

 private:
  ServiceInstance(std::string folder, File lock)
      : folder_(std::move(folder)), lock_(std::move(lock)) {}
  std::string folder_;
  File lock_;
};

// The address the running service published; waits up to `timeout` for a service that is still
// starting. Fails with 2 when no service runs.
Result<std::string> RunningServiceAddress(std::chrono::milliseconds timeout);

// The address to open for a service at `port` with `secret`. It hands the secret to the browser
// and leads on to the UI's own address, with what the window is to show first (UiStartQuery).
std::string OpenAddress(int port, const std::string& secret, const app::WindowStart& start = {});

// The query that tells the UI what to show first: "" for the page list alone,
// "?changes=TITLE" for the Show Changes view of a page, "?smartHistory=1" for the Smart History
// dialog. The open address carries it the same way.
std::string UiStartQuery(const app::WindowStart& start);
inline constexpr std::string_view kShowChangesParameter = "changes";
inline constexpr std::string_view kSmartHistoryParameter = "smartHistory";

}  // namespace tw::service
