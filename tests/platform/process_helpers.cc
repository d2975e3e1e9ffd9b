// Test helper commands about the running program itself.
#include <fcntl.h>
#include <unistd.h>

#include "platform/process.h"
#include "support/helper_commands.h"

namespace tw::test {
namespace {

void SayOwnPath() {
  Result<std::string> path = OwnProgramPath();
  SayReady(path.ok() ? *path : "error " + std::to_string(path.error().code()));
}

// own-program-path FIFO: says its own path, waits until the test opens the FIFO, says it again.
HelperCommand own_program_path("own-program-path", [](const std::vector<std::string>& args) {
  if (args.size() != 1) return 2;
  SayOwnPath();
  const int fd = ::open(args[0].c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 1;
  ::close(fd);
  SayOwnPath();
  return 0;
});

}  // namespace
}  // namespace tw::test
