// Test helper commands that take error files as another process would.
#include <chrono>
#include <thread>

#include "pagedb/error_log.h"
#include "pagedb/recording_sink.h"
#include "platform/file_system.h"
#include "support/helper_commands.h"
#include "support/sandbox.h"

namespace tw::test {
namespace {

// take-errors FOLDER: takes error files again and again until the file FOLDER/stop exists and no
// error file is left; prints "taken TEXT" for each text taken, then "done".
HelperCommand take_errors("take-errors", [](const std::vector<std::string>& args) {
  if (args.size() != 1) return 2;
  const std::string& folder = args[0];
  RecordingSink sink;
  SayReady();
  size_t printed = 0;
  auto print_new = [&] {
    const std::vector<std::string> texts = sink.texts();
    for (; printed < texts.size(); ++printed) SayReady("taken " + texts[printed]);
  };
  for (;;) {
    const bool stopping = PathExists(JoinPath(folder, "stop"));
    if (!TakeErrorFiles(folder, sink).ok()) return 1;
    print_new();
    if (stopping && FindFiles(folder, ".twe")->empty()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));  // pace the loop, not a wait
  }
  SayReady("done");
  return 0;
});

}  // namespace
}  // namespace tw::test
