// Feeds arbitrary bytes to the cookies.txt reader as a cookie file, then looks cookies up for a
// few addresses. No cookie list may carry a line break, and the lines handed to libcurl must read
// back as the same records.
#include <cstdint>
#include <string>
#include <string_view>

#include "checking/cookies.h"
#include "fuzz_target.h"

namespace {

bool HasControl(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<tw::CookieRecord> records = tw::ParseCookiesTxt(text);
  Check(records.size() <= tw::kMaxCookieRecords);
  const tw::CookieSet set(std::move(records));
  constexpr int64_t kNow = 1'700'000'000;
  for (const char* address :
       {"http://example.org/", "https://www.example.org/a/b/c.html?x=/y", "http://127.0.0.1:8080/",
        "http://a.b.c.d.e.example.co.uk/deep/path/", "https://[::1]/"}) {
    Check(!HasControl(set.HeaderFor(address, kNow)));
  }
  const std::vector<std::string> lines = tw::NetscapeLines(set.records(), kNow, true);
  std::string joined;
  for (const std::string& line : lines) joined.append(line).append("\n");
  Check(tw::ParseCookiesTxt(joined).size() == lines.size());
  return 0;
}
