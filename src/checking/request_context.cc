#include "checking/request_context.h"

#include "browser/profiles.h"
#include "platform/settings_store.h"
#include "resources/strings.h"

namespace tw {
namespace {

// The user agent lived in a buffer of 260 bytes with its terminating zero.
constexpr size_t kMaxUserAgentLength = 259;

bool IsSingleLine(std::string_view text) {
  for (char c : text) {
    if (c == '\r' || c == '\n' || c == '\0') return false;
  }
  return true;
}

}  // namespace

std::string ReadUserAgent() {
  Result<SettingsStore> store = SettingsStore::OpenUser();
  if (store.ok()) {
    Result<std::string> value =
        store->ReadString(LoadString(str::kInternetSettingsKey), "User Agent");
    // A line break would let the value write further header lines of its own.
    if (value.ok() && !value->empty() && value->size() <= kMaxUserAgentLength &&
        IsSingleLine(*value)) {
      return std::move(*value);
    }
  }
  return std::string(LoadString(str::kDefaultUserAgent));
}

CookieJar::Sources UserCookieSources() {
  CookieJar::Sources sources;
  Result<SettingsStore> store = SettingsStore::OpenUser();
  if (store.ok()) {
    Result<std::string> file = store->ReadString(LoadString(str::kRootKey), "CookieFile");
    if (file.ok()) sources.cookies_txt = std::move(*file);
  }
  for (const BrowserProfile& profile : FindBrowserProfiles()) {
    sources.databases.push_back(CookieDatabaseOf(profile));
  }
  return sources;
}

std::shared_ptr<const RequestContext> RequestContext::FromUserSettings() {
  auto context = std::make_shared<RequestContext>();
  context->user_agent = ReadUserAgent();
  context->cookies = std::make_shared<CookieJar>(UserCookieSources());
  return context;
}

}  // namespace tw
