#include "browser/firefox_profiles.h"

#include <algorithm>

#include "foundation/ascii.h"
#include "platform/file_system.h"

namespace tw {
namespace {

// profiles.ini lists a handful of profiles; past this the file is no real one.
constexpr size_t kMaxSections = 1000;

struct Section {
  std::string name;
  std::string profile_name;
  std::string path;
  std::string default_value;
  std::string is_relative;
};

std::vector<Section> ParseIni(std::string_view ini) {
  std::vector<Section> sections;
  while (!ini.empty()) {
    const size_t end = ini.find('\n');
    const std::string_view line = TrimBlanks(ini.substr(0, end));
    ini.remove_prefix(end == std::string_view::npos ? ini.size() : end + 1);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      const size_t close = line.find(']');
      if (close == std::string_view::npos) continue;
      if (sections.size() == kMaxSections) break;
      sections.push_back(Section{std::string(line.substr(1, close - 1)), {}, {}, {}, {}});
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos || sections.empty()) continue;
    const std::string_view key = TrimBlanks(line.substr(0, equals));
    std::string value(TrimBlanks(line.substr(equals + 1)));
    Section& section = sections.back();
    if (EqualsIgnoreCase(key, "Path")) {
      section.path = std::move(value);
    } else if (EqualsIgnoreCase(key, "Name")) {
      section.profile_name = std::move(value);
    } else if (EqualsIgnoreCase(key, "Default")) {
      section.default_value = std::move(value);
    } else if (EqualsIgnoreCase(key, "IsRelative")) {
      section.is_relative = std::move(value);
    }
  }
  return sections;
}

std::string Resolve(const std::string& path, bool relative, const std::string& firefox_dir) {
  if (!relative || path.front() == '/') return path;
  return JoinPath(firefox_dir, path);
}

}  // namespace

std::vector<IniProfile> ProfilesFromIni(std::string_view ini, const std::string& firefox_dir) {
  const std::vector<Section> sections = ParseIni(ini);
  std::vector<IniProfile> profiles;
  const auto find = [&profiles](const std::string& folder) {
    return std::find_if(profiles.begin(), profiles.end(),
                        [&folder](const IniProfile& p) { return p.folder == folder; });
  };
  bool marked_default = false;
  for (const Section& s : sections) {
    if (!StartsWithIgnoreCase(s.name, "Profile") || s.path.empty()) continue;
    std::string folder = Resolve(s.path, s.is_relative != "0", firefox_dir);
    if (find(folder) != profiles.end()) continue;
    const bool is_default = s.default_value == "1" && !marked_default;
    marked_default = marked_default || is_default;
    profiles.push_back(IniProfile{s.profile_name.empty() ? FileNameOf(folder) : s.profile_name,
                                  std::move(folder), is_default});
  }
  bool install_default = false;
  for (const Section& s : sections) {
    if (!StartsWithIgnoreCase(s.name, "Install") || s.default_value.empty()) continue;
    if (!install_default) {
      for (IniProfile& p : profiles) p.is_default = false;
      install_default = true;
    }
    const std::string folder = Resolve(s.default_value, true, firefox_dir);
    if (auto it = find(folder); it != profiles.end()) {
      it->is_default = true;
    } else {
      profiles.push_back(IniProfile{FileNameOf(folder), folder, true});
    }
  }
  if (!profiles.empty() && std::none_of(profiles.begin(), profiles.end(),
                                        [](const IniProfile& p) { return p.is_default; })) {
    profiles.front().is_default = true;
  }
  return profiles;
}

}  // namespace tw
