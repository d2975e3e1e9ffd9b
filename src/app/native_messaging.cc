#include "app/native_messaging.h"

#include <nlohmann/json.hpp>

#include "app/messages.h"
#include "platform/file_system.h"
#include "platform/user_dirs.h"

namespace tw::app {
namespace {

constexpr uint32_t kManifestMode = 0644;

std::string ManifestFileName() { return std::string(kNativeHostName) + ".json"; }

UserMessage ManifestMessage(const std::string& what, const ManifestPlace& place, Error cause) {
  return FailedMessage(
      "The manifest for " + place.browser_name + " cannot be " + what + ": " + place.path, cause);
}

Error WriteManifest(const ManifestPlace& place, const std::string& text) {
  if (Error e = CreateDirectories(FolderOf(place.path))) return e;
  Result<AtomicFileWriter> writer = AtomicFileWriter::Begin(place.path);
  if (!writer.ok()) return writer.error();
  if (Error e = writer->file().WriteAll(text)) return e;
  if (Error e = writer->file().SetPermissions(kManifestMode)) return e;
  return writer->Commit(AtomicFileWriter::Publish::kReplace);
}

}  // namespace

bool IsBrowserStartingHost(std::span<const std::string> args) {
  if (args.empty()) return false;
  if (args[0].starts_with("chrome-extension://")) return true;
  // Firefox: the manifest's absolute path, then the extension's id.
  return args.size() >= 2 && args[0].starts_with("/") &&
         std::string_view(args[0]).ends_with("/" + ManifestFileName()) &&
         args[1] == kFirefoxExtensionId;
}

Outcome<std::vector<ManifestPlace>> NativeHostManifestPlaces() {
  Result<std::string> config = ConfigHome();
  if (!config.ok())
    return FailedMessage("The configuration folder cannot be found.", config.error());
  Result<std::string> home = HomeDir();
  if (!home.ok()) return FailedMessage("The home folder cannot be found.", home.error());
  const std::string name = ManifestFileName();
  return std::vector<ManifestPlace>{
      {HostBrowser::kChromium, "Chromium",
       JoinPath(JoinPath(*config, "chromium/NativeMessagingHosts"), name)},
      {HostBrowser::kGoogleChrome, "Google Chrome",
       JoinPath(JoinPath(*config, "google-chrome/NativeMessagingHosts"), name)},
      {HostBrowser::kFirefox, "Firefox",
       JoinPath(JoinPath(*home, ".mozilla/native-messaging-hosts"), name)},
  };
}

std::string NativeHostManifest(HostBrowser browser, const std::string& program) {
  nlohmann::ordered_json manifest = {{"name", kNativeHostName},
                                     {"description", kNativeHostDescription},
                                     {"path", program},
                                     {"type", "stdio"}};
  if (browser == HostBrowser::kFirefox) {
    manifest["allowed_extensions"] = {kFirefoxExtensionId};
  } else {
    manifest["allowed_origins"] = {kChromiumExtensionOrigin};
  }
  // A path that is not UTF-8 is written with U+FFFD rather than failing; the browser could not
  // start it anyway.
  return manifest.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

Outcome<std::vector<ManifestPlace>> RegisterNativeHost(const std::string& program) {
  Outcome<std::vector<ManifestPlace>> places = NativeHostManifestPlaces();
  if (!places.ok()) return places;
  for (const ManifestPlace& place : *places) {
    if (Error e = WriteManifest(place, NativeHostManifest(place.browser, program))) {
      return ManifestMessage("written", place, e);
    }
  }
  return places;
}

Outcome<std::vector<ManifestPlace>> UnregisterNativeHost() {
  Outcome<std::vector<ManifestPlace>> places = NativeHostManifestPlaces();
  if (!places.ok()) return places;
  std::vector<ManifestPlace> removed;
  for (const ManifestPlace& place : *places) {
    if (!PathExists(place.path)) continue;
    if (Error e = DeleteFile(place.path); e && !e.IsNothingThere()) {
      return ManifestMessage("removed", place, e);
    }
    removed.push_back(place);
  }
  return removed;
}

}  // namespace tw::app
