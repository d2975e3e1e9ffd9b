// How the browsers find our native-messaging host and how they start it: the host's name, the
// extension's id in each browser, and the manifests that `tidewell register` writes into the
// user's browser folders.
//
// A manifest cannot give the program arguments, so its `path` is the tidewell program itself and
// the program knows a browser's start by the arguments the browser passes: Chromium and Google
// Chrome pass the caller's origin ("chrome-extension://ID/"), Firefox the manifest's path and the
// extension's id.
//
// Pure functions, and file writes in the user's folders; any thread.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/values.h"

namespace tw::app {

inline constexpr std::string_view kNativeHostName = "org.tidewell.native_host";
inline constexpr std::string_view kNativeHostDescription =
    "Tidewell: watches web pages and tells you when they change";
inline constexpr std::string_view kChromiumExtensionOrigin =
    "chrome-extension://dcknjfnokgfijfcfkagcfcldjjglmiji/";
inline constexpr std::string_view kFirefoxExtensionId = "tidewell@tidewell.org";

// Whether a browser started the program, as a native-messaging host, with these arguments.
bool IsBrowserStartingHost(std::span<const std::string> args);

enum class HostBrowser { kChromium, kGoogleChrome, kFirefox };

// Where one browser looks for our manifest, for the user of this process.
struct ManifestPlace {
  HostBrowser browser = HostBrowser::kChromium;
  std::string browser_name;  // "Chromium", "Google Chrome", "Firefox"
  std::string path;
};
// Every browser's place, in the order above.
Outcome<std::vector<ManifestPlace>> NativeHostManifestPlaces();

// The manifest that lets the browser start `program` (an absolute path) for our extension.
std::string NativeHostManifest(HostBrowser browser, const std::string& program);

// Writes the manifest for every browser, whether it is installed or not (one installed later
// finds it), making the folders it needs; a manifest there is replaced. Each file is readable by
// everyone and written by its owner (0644). The places written.
Outcome<std::vector<ManifestPlace>> RegisterNativeHost(const std::string& program);
// Removes our manifest from every browser's folder and nothing else; one that is not there counts
// as removed. The places a manifest was removed from.
Outcome<std::vector<ManifestPlace>> UnregisterNativeHost();

}  // namespace tw::app
