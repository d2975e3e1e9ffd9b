// `tidewell native-host`: the API (docs/api.md) carried over native messaging to the browser
// extension, which the browser starts with its port on our standard input and output.
//
// The host holds the shared objects (the page database with its online schedule, the options
// watcher, the Smart History worker, the notification thread) for as long as the port is open,
// as a window of the side panel does, and answers requests with the same dispatcher as the
// service, in the side panel's setting. `events.subscribe` starts the events on the same port:
// loading, each page, the checking state, then every event as it happens; a second one starts
// them over from loading.
//
// Requests are answered one after another, in the order they came. A message that is not JSON,
// not a request, or names no method gets an error reply and changes nothing. A length past the
// browsers' cap gets an error reply (id null) and ends the host: the stream cannot be read on.
// The browser closing the port (the end of standard input) ends the host cleanly, as do SIGINT
// and SIGTERM: a check under way stops at its next stop test and every page file stays whole.
//
// Threads: called on the program's main thread, which reads the port; the events are written by
// a thread of their own.
#pragma once

#include <string>

#include "app/application.h"

namespace tw::nativehost {

struct NativeHostOptions {
  std::string version;
};

// The exit status: 0 when the browser closed the port (or a signal ended the host), 1 when the
// host could not start or the browser sent what cannot be read on.
int RunNativeHost(app::Application& app, const NativeHostOptions& options);

}  // namespace tw::nativehost
