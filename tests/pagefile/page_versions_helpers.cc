// Test helper commands that keep page versions as another process would.
#include <memory>
#include <string>

#include "pagefile/page_versions.h"
#include "support/helper_commands.h"

namespace tw::test {
namespace {

// A page whose content tells which round made it; `size` bytes that compress badly, so that the
// versions are large.
std::unique_ptr<PageRecord> RoundPage(const std::string& title, uint64_t round, size_t size) {
  auto record = std::make_unique<PageRecord>();
  record->title = title;
  record->SetAddress("http://example.org/" + title);
  std::string content = "round " + std::to_string(round) + ":";
  uint64_t x = round * 2654435761u + 1;
  while (content.size() < size) {
    x = x * 6364136223846793005ull + 1442695040888963407ull;
    content += static_cast<char>(x >> 56);
  }
  record->SetContent(std::move(content));
  record->masks.Append(std::make_unique<MaskEntry>(static_cast<uint32_t>(round), 1, 0));
  record->SyncCounts();
  return record;
}

// keep-versions FOLDER TITLE COUNT SIZE: keeps COUNT versions of the page (COUNT 0: forever),
// saying "kept N" after each; exit 1 at the first failure.
HelperCommand keep_versions("keep-versions", [](const std::vector<std::string>& args) {
  if (args.size() != 4) return 2;
  const uint64_t count = std::stoull(args[2]);
  const size_t size = std::stoul(args[3]);
  Result<PageVersions> versions = PageVersions::Open(args[0]);
  if (!versions.ok()) return 1;
  for (uint64_t round = 1; count == 0 || round <= count; ++round) {
    if (versions->Keep(*RoundPage(args[1], round, size), FileTime{round}, kDefaultKeptVersions))
      return 1;
    SayReady("kept " + std::to_string(round));
  }
  return 0;
});

}  // namespace
}  // namespace tw::test
