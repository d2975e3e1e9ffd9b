// Test helper commands that work on page files as another process would.
#include <unistd.h>

#include "pagefile/page_file.h"
#include "support/helper_commands.h"

namespace tw::test {
namespace {

// write-pages FOLDER TITLE SIZE: rewrites the page forever, alternating its content between
// SIZE bytes of 'a' and SIZE bytes of 'b'; says ready after the first write.
HelperCommand write_pages("write-pages", [](const std::vector<std::string>& args) {
  if (args.size() != 3) return 2;
  const size_t size = std::stoul(args[2]);
  PageRecord record;
  record.title = args[1];
  record.SetAddress("http://example.org/");
  for (uint64_t round = 0;; ++round) {
    record.SetContent(std::string(size, round % 2 ? 'b' : 'a'));
    const Error e = WritePage(args[0], record);
    if (round == 0) SayReady(e ? "error " + std::to_string(e.code()) : "ready");
  }
});

}  // namespace
}  // namespace tw::test

namespace tw::test {
namespace {

// add-page FOLDER TITLE ADDRESS: exit 0 when the page was added, 1 when not.
HelperCommand add_page("add-page", [](const std::vector<std::string>& args) {
  if (args.size() != 3) return 2;
  return AddPageWithDefaults(args[0], args[1], args[2], {}).ok() ? 0 : 1;
});

}  // namespace
}  // namespace tw::test
