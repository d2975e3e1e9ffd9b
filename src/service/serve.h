// `tidewell serve` and `tidewell` without a command: the program with its main window, served to
// the user's browser from 127.0.0.1.
//
// RunServe holds the shared objects for the whole run (the page database with its online
// schedule, the options watcher, the notification thread), serves the API and the UI, prints the
// address to open as the first line of its standard output and publishes it for the user's other
// processes. A second service of the same user prints the running one's address and ends. SIGINT
// and SIGTERM end the service cleanly: a check pass under way ends at its next stop test and
// every page file stays whole. With "Allow Tidewell to run in the background" (RunBkg) off, the
// service ends a minute after the last window closed.
//
// Threads: called on the program's main thread, which it keeps until the service ends.
#pragma once

#include <chrono>
#include <string>

#include "app/application.h"

namespace tw::service {

struct ServeOptions {
  // The port to listen on; 0 picks a free one. When the default port is taken, a free one is
  // picked as well.
  int port = 0;
  bool port_given = false;
  // How long the service lives on after the last window closed while RunBkg is off.
  std::chrono::milliseconds idle_exit = std::chrono::minutes(1);
  std::string version;
};

inline constexpr int kDefaultPort = 47913;

// The exit status: 0 after a clean end (or when another service runs), 1 when the service could
// not start.
int RunServe(app::Application& app, const ServeOptions& options);

// Starts the service unless one runs, waits for its address and opens it in the user's browser.
// The exit status: 0 when the address was handed to the browser, 1 otherwise.
int OpenUi(const std::string& program);

}  // namespace tw::service
