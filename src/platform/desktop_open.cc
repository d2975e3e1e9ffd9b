#include "platform/desktop_open.h"

#include <chrono>
#include <optional>

#include "platform/process.h"

namespace tw {
namespace {

// The opener hands the address to the running browser and ends, or, with no browser running,
// may wait for the browser it started to close; having run this long without failing, it has
// done its part.
constexpr auto kOpenerGrace = std::chrono::seconds(5);
constexpr const char* kOpener = "xdg-open";

}  // namespace

Error OpenWithDesktop(const std::string& address) {
  Result<Process> opener = Process::Start({kOpener, address});
  if (!opener.ok()) return opener.error();
  const std::optional<int> status = opener->WaitForExit(kOpenerGrace);
  if (status && *status != 0) return Error(err::kGenFailure);
  return Error();
}

}  // namespace tw
