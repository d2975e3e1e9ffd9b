// Folder and file operations beyond one open file, with the same sharing rules as File:
// a file that someone has open cannot be deleted or moved (error 32).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"
#include "platform/file.h"
#include "platform/file_time.h"

namespace tw {

struct FileInfo {
  uint64_t size = 0;
  FileTime last_write;
  bool is_directory = false;
  FileId id = 0;
};

struct FoundFile {
  std::string name;  // without folder
  FileTime last_write;
  uint64_t size = 0;
  FileId id = 0;  // listed with details only
};

bool PathExists(const std::string& path);
Result<FileInfo> GetFileInfo(const std::string& path);

// The regular files of a folder whose names end exactly (case-sensitively) in `suffix`,
// in the order the folder lists them. An empty result is not an error; a missing folder is.
Result<std::vector<FoundFile>> FindFiles(const std::string& folder, std::string_view suffix);

// What ListFiles does with a name: leave it out, list it by name alone (time, size and id stay
// zero), or list it with its time, size and id. Looking a file up costs far more than listing its
// name, so a caller that knows which files can have changed asks for details of those only.
enum class Listing { kSkip, kNameOnly, kWithDetails };
Result<std::vector<FoundFile>> ListFiles(
    const std::string& folder, const std::function<Listing(std::string_view name)>& choose);

// What a person picks from in a folder: the names of its folders (a link to a folder counts as
// one) and of its regular files, hidden ones (starting with ".") left out, each list sorted.
struct VisibleEntries {
  std::vector<std::string> folders;
  std::vector<std::string> files;
};
Result<VisibleEntries> ListVisibleEntries(const std::string& folder);
// The folders alone of ListVisibleEntries.
Result<std::vector<std::string>> ListSubfolders(const std::string& folder);

// Deletes a file; fails with 32 while anyone has it open.
Error DeleteFile(const std::string& path);
// Renames a file within its file system; fails with 80 when `to` exists and with 32 while anyone
// has `from` open.
Error MoveFileNoReplace(const std::string& from, const std::string& to);
// Copies a file; with kFail the copy fails with 80 when `to` exists. The copy appears complete or
// not at all.
enum class IfTargetExists { kReplace, kFail };
Error CopyFile(const std::string& from, const std::string& to, IfTargetExists if_exists);
// Removes a folder that is empty; fails with 145 when it is not.
Error RemoveEmptyFolder(const std::string& path);
// Creates the folder and any missing parents.
Error CreateDirectories(const std::string& path);

// Writes a file beside its target under a hidden temporary name and then publishes it whole, so
// that readers see the old file or the new one and never a part. The temporary file is held
// exclusively from creation until Commit returns, and removed if the writer is dropped unpublished.
class AtomicFileWriter {
 public:
  enum class Publish { kReplace, kCreateNew };

  static Result<AtomicFileWriter> Begin(const std::string& target);
  AtomicFileWriter(AtomicFileWriter&&) noexcept = default;
  AtomicFileWriter& operator=(AtomicFileWriter&&) noexcept;
  ~AtomicFileWriter();

  File& file() { return file_; }
  // Flushes the data to disk and renames the temporary file to the target. kCreateNew fails with
  // 80 when the target exists (atomically: of two writers, one wins).
  Error Commit(Publish publish);

 private:
  AtomicFileWriter(File file, std::string target)
      : file_(std::move(file)), target_(std::move(target)) {}
  void Abandon();

  File file_;
  std::string target_;
};

// Removes temporary files that a writer killed in mid-write left in `folder`; files still held
// by a writer, or younger than a minute, are left alone.
void RemoveStaleTempFiles(const std::string& folder);

// The absolute path of an existing file or folder, with symbolic links, "." and ".." resolved.
Result<std::string> RealPath(const std::string& path);

// The folder part of a path ("." when it has none).
std::string FolderOf(const std::string& path);
// The last component of a path.
std::string FileNameOf(const std::string& path);
std::string JoinPath(const std::string& folder, std::string_view name);

}  // namespace tw
