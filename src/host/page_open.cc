#include <chrono>
#include <optional>
#include <string>

#include "host/page_functions.h"
#include "host/page_listing.h"
#include "host/user_message.h"
#include "pagedb/page_file.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/url.h"
#include "resources/strings.h"

namespace tw {
namespace {

// The desktop's "open" for an address. It hands the address to the running browser and ends,
// or, with no browser running, may wait for the browser it started to close; having run this
// long without failing, it has done its part.
constexpr auto kOpenerGrace = std::chrono::seconds(5);
constexpr const char* kOpener = "xdg-open";

bool OpenInBrowser(const std::string& address) {
  Result<Process> opener = Process::Start({kOpener, address});
  if (!opener.ok()) return false;
  const std::optional<int> status = opener->WaitForExit(kOpenerGrace);
  return !status || *status == 0;
}

}  // namespace

int PageOpen(const std::string& path) {
  if (!PathExists(path)) {
    ShowMessage(str::kCouldNotLoadPage);
    return kPageFunctionFailed;
  }
  const std::string name = FileNameOf(path);
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) {
    ShowMessage(str::kCouldNotLoadPage);
    return kPageFunctionFailed;
  }
  const std::string folder = FolderOf(path), title = name.substr(0, dot);
  Result<PageSummary> page = RetryWhileBusy([&] { return ReadPageSummary(folder, title); });
  if (!page.ok()) {
    ShowMessage(str::kCouldNotLoadPage, page.error());
    return kPageFunctionFailed;
  }
  // A page file may come from anywhere; only a web address goes to the opener, which would
  // otherwise run whatever a local path or another scheme names.
  if (!HasHttpScheme(page->address)) {
    ShowMessage(str::kCouldNotLoadPage);
    return kPageFunctionFailed;
  }
  if (!OpenInBrowser(page->address)) {
    ShowMessage(str::kErrorTalkingToBrowser);
    return kPageFunctionFailed;
  }
  return kPageOpened;
}

}  // namespace tw
