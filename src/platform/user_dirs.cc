#include "platform/user_dirs.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string_view>

#include "platform/file_system.h"

namespace tw {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

// An absolute XDG variable, else `fallback` below the home folder.
Result<std::string> XdgDir(const char* variable, const char* fallback) {
  std::string value = Env(variable);
  if (!value.empty() && value.front() == '/') return value;
  Result<std::string> home = HomeDir();
  if (!home.ok()) return home.error();
  return *home + "/" + fallback;
}

// The value of `key` in user-dirs.dirs: KEY="$HOME/Dir" or KEY="/abs/path".
std::string ReadUserDirsValue(const std::string& file, std::string_view key,
                              const std::string& home) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line.front() == '#') continue;
    if (line.compare(0, key.size(), key) != 0 || line.size() <= key.size() + 2) continue;
    if (line[key.size()] != '=' || line[key.size() + 1] != '"') continue;
    const size_t end = line.rfind('"');
    if (end <= key.size() + 1) continue;
    std::string value = line.substr(key.size() + 2, end - key.size() - 2);
    if (value.compare(0, 5, "$HOME") == 0) value = home + value.substr(5);
    if (!value.empty() && value.front() == '/') return value;
  }
  return "";
}

}  // namespace

Result<std::string> HomeDir() {
  std::string home = Env("HOME");
  if (!home.empty()) return home;
  passwd entry{};
  passwd* found = nullptr;
  char buffer[4096];
  if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found &&
      found->pw_dir) {
    return std::string(found->pw_dir);
  }
  return Error(err::kPathNotFound);
}

Result<std::string> ConfigHome() { return XdgDir("XDG_CONFIG_HOME", ".config"); }

Result<std::string> CacheHome() { return XdgDir("XDG_CACHE_HOME", ".cache"); }

std::string SystemConfigDir() {
  const std::string dirs = Env("XDG_CONFIG_DIRS");
  const std::string first = dirs.substr(0, dirs.find(':'));
  return !first.empty() && first.front() == '/' ? first : "/etc/xdg";
}

Result<std::string> PrivateRuntimeDir() {
  const std::string runtime = Env("XDG_RUNTIME_DIR");
  std::string folder;
  if (!runtime.empty() && runtime.front() == '/') {
    folder = runtime + "/tidewell";
  } else {
    Result<std::string> cache = CacheHome();
    if (!cache.ok()) return cache.error();
    folder = *cache + "/tidewell/runtime";
  }
  if (Error e = CreateDirectories(folder)) return e;
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0) return Error::LastErrno();
  if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) return Error(err::kAccessDenied);
  if ((info.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0) return Error::LastErrno();
  return folder;
}

Result<std::string> DataHome() { return XdgDir("XDG_DATA_HOME", ".local/share"); }

Result<std::string> DocumentsDir() {
  Result<std::string> home = HomeDir();
  if (!home.ok()) return home.error();
  Result<std::string> config = ConfigHome();
  if (config.ok()) {
    std::string dir = ReadUserDirsValue(*config + "/user-dirs.dirs", "XDG_DOCUMENTS_DIR", *home);
    // A documents folder equal to the home folder is how user-dirs says "none"; use ~/Documents.
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    if (!dir.empty() && dir != *home) return dir;
  }
  return *home + "/Documents";
}

}  // namespace tw
