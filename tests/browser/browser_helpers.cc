// Test helper commands that read browser data in a process of their own (what reaches the
// desktop's secret store must run where a private session bus may come and go), and that make a
// browser profile for tests outside C++ (the UI's).
#include <cstdio>
#include <cstdlib>

#include "browser/browser_fixtures.h"
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

// firefox-places PATH [visit URL TITLE DAYS | bookmark URL TITLE]...: a places.sqlite in Firefox's
// schema, with a page visited once on each of the DAYS days before today, and bookmarks in the
// Bookmarks Toolbar.
HelperCommand firefox_places("firefox-places", [](const std::vector<std::string>& args) {
  if (args.empty()) return 2;
  BrowserDatabase places(args[0], BrowserSchema::kFirefoxPlaces);
  const FileTime now = Now();
  constexpr int64_t kToolbar = 3;
  for (size_t i = 1; i < args.size();) {
    if (args[i] == "visit" && i + 3 < args.size()) {
      const int64_t place = places.AddFirefoxPage(args[i + 1], args[i + 2]);
      const int days = std::atoi(args[i + 3].c_str());
      for (int day = 1; day <= days; ++day) {
        places.AddFirefoxVisit(place, AddSeconds(now, -day * 86400.0));
      }
      i += 4;
    } else if (args[i] == "bookmark" && i + 2 < args.size()) {
      places.AddFirefoxBookmark(kToolbar, args[i + 2], args[i + 1]);
      i += 3;
    } else {
      return 2;
    }
  }
  return 0;
});

}  // namespace
}  // namespace tw::test
