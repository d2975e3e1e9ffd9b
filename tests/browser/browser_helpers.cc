// Test helper commands that read browser data in a process of their own: what reaches the
// desktop's secret store must run where a private session bus may come and go.
#include <cstdio>

#include "browser/cookie_sources.h"
#include "support/helper_commands.h"

namespace tw::test {
namespace {

// read-chromium-cookies PATH APPLICATION: prints "name=value" for every cookie read, then "end".
HelperCommand read_cookies("read-chromium-cookies", [](const std::vector<std::string>& args) {
  if (args.size() != 2) return 2;
  const std::string application = args[1];
  Result<std::vector<CookieRecord>> records =
      ReadChromiumCookies(args[0], [&application] { return ChromiumSecretPassword(application); });
  if (!records.ok()) {
    std::printf("error %u\n", records.error().code());
    return 1;
  }
  for (const CookieRecord& r : *records) std::printf("%s=%s\n", r.name.c_str(), r.value.c_str());
  std::printf("end\n");
  return 0;
});

}  // namespace
}  // namespace tw::test
