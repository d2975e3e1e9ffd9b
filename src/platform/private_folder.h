// PrivateFolder: a temporary folder of our own (mode 0700) below $TMPDIR or /tmp, for copies of
// other programs' files that no one else may read. It is removed, with the files in it, when the
// object goes.
//
// Threads: one owner at a time; the object may move between threads.
#pragma once

#include <string>

#include "platform/error.h"

namespace tw {

class PrivateFolder {
 public:
  // A new folder whose name starts with `prefix`.
  static Result<PrivateFolder> Create(const std::string& prefix);

  PrivateFolder(PrivateFolder&& other) noexcept;
  PrivateFolder& operator=(PrivateFolder&& other) noexcept;
  ~PrivateFolder();

  const std::string& path() const { return path_; }

 private:
  explicit PrivateFolder(std::string path) : path_(std::move(path)) {}
  void Remove();

  std::string path_;
};

}  // namespace tw
