// Test helper commands that hold files the way another process would.
#include <unistd.h>

#include "platform/file.h"
#include "support/helper_commands.h"

namespace tw::test {
namespace {

// hold-file PATH exclusive|shared: opens the file with that sharing, says ready, waits for death.
HelperCommand hold_file("hold-file", [](const std::vector<std::string>& args) {
  if (args.size() != 2) return 2;
  const Share share = args[1] == "exclusive" ? Share::kNone : Share::kRead;
  Result<File> file =
      File::Open(args[0], OpenOptions{Access::kReadWrite, share, Disposition::kOpenAlways});
  if (!file.ok()) {
    SayReady("error " + std::to_string(file.error().code()));
    return 1;
  }
  SayReady();
  for (;;) ::pause();
});

}  // namespace
}  // namespace tw::test
