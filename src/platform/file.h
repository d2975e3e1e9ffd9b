// Files with the sharing rules the page folder relies on.
//
// An open that shares nothing takes an exclusive open-file-description lock on the whole file; any
// other open takes a shared one. A conflicting lock fails the open at once with error 32 (a sharing
// violation), between threads and between processes alike, so "a writer has the file" and
// "someone reads the file" exclude each other exactly as the page folder protocol expects.
// Truncation happens only after the lock is held. Delete-on-close removes the path at Close.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/unique_fd.h"
#include "platform/error.h"
#include "platform/file_time.h"

namespace tw {

// Tells one file from another within a folder: a rename keeps it, a file written anew under the
// same name (replaced by a rename over it) gets another. 0 when not known.
using FileId = uint64_t;

// When a file was last written, and which file it is.
struct FileStamp {
  FileTime last_write;
  FileId id = 0;
};

enum class Access { kRead, kReadWrite };
enum class Share { kNone, kRead, kReadWrite };
enum class Disposition {
  kOpenExisting,  // fails with 2 when missing
  kOpenAlways,    // creates when missing, keeps the contents
  kCreateAlways,  // creates when missing, truncates when present
  kCreateNew,     // fails with 80 when present
};

struct OpenOptions {
  Access access = Access::kRead;
  Share share = Share::kRead;
  Disposition disposition = Disposition::kOpenExisting;
  bool delete_on_close = false;
  // A file created by this open appears under its name already locked, so that no reader ever
  // opens it before its creator holds it. Its close is then not seen by folder watchers: for a
  // name held only until something else is renamed over it.
  bool lock_before_naming = false;
};

class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  static Result<File> Open(const std::string& path, const OpenOptions& options);

  bool is_open() const { return fd_.valid(); }
  const std::string& path() const { return path_; }

  // Reads up to `size` bytes; 0 at the end of the file.
  Result<size_t> Read(void* buffer, size_t size);
  // Reads exactly `size` bytes; a short read fails with 38 (end of file).
  Error ReadExact(void* buffer, size_t size);
  Error WriteAll(const void* data, size_t size);
  Error WriteAll(std::string_view data) { return WriteAll(data.data(), data.size()); }
  Error Seek(uint64_t offset);
  Result<uint64_t> Size() const;
  Error Truncate(uint64_t size);
  Error Sync();
  Result<FileTime> LastWriteTime() const;
  Result<FileStamp> Stamp() const;
  Error SetLastWriteTime(FileTime t);
  // Sets the file's permission bits (0600: the owner alone reads and writes it).
  Error SetPermissions(uint32_t mode);
  // Removes the file's name while the file stays open (and locked) here.
  Error Unlink();
  // Closes the file (and removes it when opened delete-on-close). Also done by the destructor.
  Error Close();

 private:
  File(UniqueFd fd, std::string path, bool delete_on_close)
      : fd_(std::move(fd)), path_(std::move(path)), delete_on_close_(delete_on_close) {}

  UniqueFd fd_;
  std::string path_;
  bool delete_on_close_ = false;
};

// Whether another open holds the file in a way an open that shares nothing would conflict with,
// found without taking the file: false when it is free or missing.
Result<bool> IsFileInUse(const std::string& path);

}  // namespace tw
