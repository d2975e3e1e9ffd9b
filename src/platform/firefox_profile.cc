#include "platform/firefox_profile.h"

#include <vector>

#include "foundation/ascii.h"
#include "platform/file_system.h"
#include "platform/foreign_file.h"
#include "platform/user_dirs.h"

namespace tw {
namespace {

// profiles.ini lists a handful of profiles; anything this large is not one.
constexpr uint64_t kMaxIniBytes = 1 << 20;

struct Section {
  std::string name;
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
      sections.push_back(Section{std::string(line.substr(1, close - 1)), {}, {}, {}});
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos || sections.empty()) continue;
    const std::string_view key = TrimBlanks(line.substr(0, equals));
    const std::string value(TrimBlanks(line.substr(equals + 1)));
    Section& section = sections.back();
    if (EqualsIgnoreCase(key, "Path")) {
      section.path = value;
    } else if (EqualsIgnoreCase(key, "Default")) {
      section.default_value = value;
    } else if (EqualsIgnoreCase(key, "IsRelative")) {
      section.is_relative = value;
    }
  }
  return sections;
}

std::string Resolve(const std::string& path, bool relative, const std::string& firefox_dir) {
  if (!relative || (!path.empty() && path.front() == '/')) return path;
  return JoinPath(firefox_dir, path);
}

}  // namespace

std::optional<std::string> DefaultProfileFromIni(std::string_view ini,
                                                 const std::string& firefox_dir) {
  const std::vector<Section> sections = ParseIni(ini);
  for (const Section& s : sections) {
    if (StartsWithIgnoreCase(s.name, "Install") && !s.default_value.empty()) {
      return Resolve(s.default_value, true, firefox_dir);
    }
  }
  const Section* chosen = nullptr;
  for (const Section& s : sections) {
    if (!StartsWithIgnoreCase(s.name, "Profile") || s.path.empty()) continue;
    if (!chosen) chosen = &s;
    if (s.default_value == "1") {
      chosen = &s;
      break;
    }
  }
  if (!chosen) return std::nullopt;
  return Resolve(chosen->path, chosen->is_relative != "0", firefox_dir);
}

Result<std::string> DefaultFirefoxProfile() {
  Result<std::string> home = HomeDir();
  if (!home.ok()) return home.error();
  const std::string firefox_dir = JoinPath(*home, ".mozilla/firefox");
  Result<std::string> ini = ReadForeignFile(JoinPath(firefox_dir, "profiles.ini"), kMaxIniBytes);
  if (!ini.ok()) return ini.error();
  std::optional<std::string> profile = DefaultProfileFromIni(*ini, firefox_dir);
  if (!profile) return Error(err::kFileNotFound);
  return *profile;
}

}  // namespace tw
