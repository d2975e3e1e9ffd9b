// Feeds arbitrary bytes to the page file reader as a page file. Whatever reads successfully must
// write back and read again to the same record.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "fuzz_target.h"
#include "pagefile/page_file.h"
#include "pagefile/title.h"

namespace {

const std::string& Folder() {
  static const std::string folder = [] {
    std::string pattern = "/tmp/tidewell-fuzz-XXXXXX";
    if (!::mkdtemp(pattern.data())) ::abort();
    return pattern;
  }();
  // The folder goes with the process, however many inputs ran.
  static const bool cleanup_registered = [] {
    return std::atexit([] {
             std::error_code ignored;
             std::filesystem::remove_all(Folder(), ignored);
           }) == 0;
  }();
  (void)cleanup_registered;
  return folder;
}

bool SameMasks(const tw::MaskList& a, const tw::MaskList& b) {
  if (a.count() != b.count()) return false;
  for (auto x = a.begin(), y = b.begin(); x != a.end(); ++x, ++y) {
    if (x->index != y->index || x->kind != y->kind || x->count != y->count) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = tw::PagePath(Folder(), "input");
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return 0;
  std::fwrite(data, 1, size, out);
  std::fclose(out);

  auto page = tw::ReadPage(Folder(), "input");
  auto summary = tw::ReadPageSummary(Folder(), "input");
  Check(page.ok() <= summary.ok());  // a readable page has a readable summary
  if (!page.ok()) return 0;

  (*page)->title = "again";
  Check(tw::WritePage(Folder(), **page).ok());
  auto again = tw::ReadPage(Folder(), "again");
  Check(again.ok());
  Check((*again)->address == (*page)->address);
  Check((*again)->content == (*page)->content);
  Check(SameMasks((*again)->masks, (*page)->masks));
  Check((*again)->frames.count() == (*page)->frames.count());
  for (auto x = (*page)->frames.begin(), y = (*again)->frames.begin(); x != (*page)->frames.end();
       ++x, ++y) {
    Check(x->address == y->address && x->content == y->content && SameMasks(x->masks, y->masks));
  }
  return 0;
}
