// Counts the opens of one file of a folder as they happen, whoever opens it: a test's way to know
// that another thread or process has come to the point of opening that file (and, when the file
// is held, of trying again).
#pragma once

#include <string>

namespace tw::test {

class OpenWatch {
 public:
  // Starts counting at once; a folder that cannot be watched fails the test.
  OpenWatch(const std::string& folder, std::string name);
  ~OpenWatch();
  OpenWatch(const OpenWatch&) = delete;
  OpenWatch& operator=(const OpenWatch&) = delete;

  // The opens seen so far.
  int Count();

 private:
  int fd_ = -1;
  std::string name_;
  int count_ = 0;
};

}  // namespace tw::test
