#include "support/sandbox.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace tw::test {

Sandbox::Sandbox() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tidewell-test-XXXXXX";
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

Sandbox::~Sandbox() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string Sandbox::Sub(const std::string& name, bool make_dir) const {
  std::string sub = path_ + "/" + name;
  if (make_dir) std::filesystem::create_directories(sub);
  return sub;
}

ScopedHome::ScopedHome(const Sandbox& sandbox) : home_(sandbox.Sub("home", true)) {
  const std::map<std::string, std::string> values = {
      {"HOME", home_},
      {"XDG_CONFIG_HOME", home_ + "/.config"},
      {"XDG_DATA_HOME", home_ + "/.local/share"},
  };
  for (const auto& [name, value] : values) {
    const char* old = std::getenv(name.c_str());
    saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    ::setenv(name.c_str(), value.c_str(), 1);
  }
}

ScopedHome::~ScopedHome() {
  for (const auto& [name, value] : saved_) {
    if (value) {
      ::setenv(name.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name.c_str());
    }
  }
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace tw::test
