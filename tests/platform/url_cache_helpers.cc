// Test helper commands that use the URL-cache marks as another process would.
#include <string>

#include "platform/url_cache.h"
#include "support/helper_commands.h"

namespace tw::test {
namespace {

// url-mark-many DATABASE PREFIX COUNT: marks PREFIX0..PREFIX<COUNT-1> one by one; exit 0 when
// every mark succeeded.
HelperCommand mark_many("url-mark-many", [](const std::vector<std::string>& args) {
  if (args.size() != 3) return 2;
  Result<UrlCache> cache = UrlCache::Open(args[0]);
  SayReady();
  if (!cache.ok()) return 1;
  const int count = std::stoi(args[2]);
  for (int i = 0; i < count; ++i) {
    if (cache->Mark(args[1] + std::to_string(i))) return 1;
  }
  return 0;
});

}  // namespace
}  // namespace tw::test
