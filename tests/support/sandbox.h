// Test fixtures: a temporary folder removed afterwards, a private HOME, and WaitFor.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace tw::test {

// A fresh folder below $TMPDIR (or /tmp), removed with everything in it on destruction.
class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  const std::string& path() const { return path_; }
  // path()/name, with the folder made (and its parents) when make_dir is set.
  std::string Sub(const std::string& name, bool make_dir = false) const;

 private:
  std::string path_;
};

// Points HOME and the XDG variables at folders inside a sandbox for the life of the object,
// so that settings, the URL cache and the default page folder are the test's own.
class ScopedHome {
 public:
  explicit ScopedHome(const Sandbox& sandbox);
  ~ScopedHome();
  ScopedHome(const ScopedHome&) = delete;
  ScopedHome& operator=(const ScopedHome&) = delete;

  const std::string& home() const { return home_; }

 private:
  std::string home_;
  std::map<std::string, std::optional<std::string>> saved_;
};

// Polls the condition until it holds or the time-out passes; true if it held.
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Whole-file helpers for tests.
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

}  // namespace tw::test
