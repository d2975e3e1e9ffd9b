#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>

#include "platform/folder_entries_internal.h"

namespace tw {
namespace {

constexpr std::string_view kTempPrefix = ".tidewell-";
constexpr std::string_view kTempSuffix = ".tmp";
constexpr double kStaleTempSeconds = 60;

// rename(2) that fails when the target exists; falls back to link and unlink on file systems
// without RENAME_NOREPLACE.
Error RenameNoReplace(const std::string& from, const std::string& to) {
  if (::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) ==
      0) {
    return Error();
  }
  if (errno != EINVAL && errno != ENOSYS) return Error::LastErrno();
  if (::link(from.c_str(), to.c_str()) != 0) return Error::LastErrno();
  ::unlink(from.c_str());
  return Error();
}

// Opens a file so that nobody else has it, as a delete or a move on a shared file would fail.
Result<File> OpenAlone(const std::string& path) {
  return File::Open(path, OpenOptions{Access::kRead, Share::kNone, Disposition::kOpenExisting});
}

std::string RandomTempName() {
  thread_local std::mt19937_64 generator{std::random_device{}()};
  char suffix[17];
  std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(generator()));
  return std::string(kTempPrefix) + suffix + std::string(kTempSuffix);
}

}  // namespace

bool PathExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

Result<FileInfo> GetFileInfo(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return Error::LastErrno();
  return FileInfo{static_cast<uint64_t>(st.st_size), FileTime::FromTimespec(st.st_mtim),
                  S_ISDIR(st.st_mode), static_cast<FileId>(st.st_ino)};
}

Result<std::vector<FoundFile>> FindFiles(const std::string& folder, std::string_view suffix) {
  return ListFiles(folder, [suffix](std::string_view name) {
    const bool match =
        name.size() >= suffix.size() && name.substr(name.size() - suffix.size()) == suffix;
    return match ? Listing::kWithDetails : Listing::kSkip;
  });
}

Result<std::vector<FoundFile>> ListFiles(
    const std::string& folder, const std::function<Listing(std::string_view name)>& choose) {
  std::vector<FoundFile> found;
  Error e = ForEachFolderEntry(folder, [&](int dir_fd, const dirent& entry) {
    if (entry.d_type != DT_REG && entry.d_type != DT_UNKNOWN) return Error();
    const Listing listing = choose(entry.d_name);
    if (listing == Listing::kSkip) return Error();
    FoundFile file{entry.d_name, FileTime{}, 0};
    if (listing == Listing::kWithDetails || entry.d_type == DT_UNKNOWN) {
      struct stat st {};
      if (::fstatat(dir_fd, entry.d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)) return Error();
      if (listing == Listing::kWithDetails) {
        file.last_write = FileTime::FromTimespec(st.st_mtim);
        file.size = static_cast<uint64_t>(st.st_size);
        file.id = static_cast<FileId>(st.st_ino);
      }
    }
    found.push_back(std::move(file));
    return Error();
  });
  if (e) return e;
  return found;
}

Result<VisibleEntries> ListVisibleEntries(const std::string& folder) {
  VisibleEntries entries;
  Error e = ForEachFolderEntry(folder, [&](int dir_fd, const dirent& entry) {
    if (entry.d_name[0] == '.') return Error();
    struct stat st {};
    // A link to a folder is a folder to the one who picks.
    if (::fstatat(dir_fd, entry.d_name, &st, 0) != 0) return Error();
    if (S_ISDIR(st.st_mode)) entries.folders.emplace_back(entry.d_name);
    if (S_ISREG(st.st_mode)) entries.files.emplace_back(entry.d_name);
    return Error();
  });
  if (e) return e;
  std::sort(entries.folders.begin(), entries.folders.end());
  std::sort(entries.files.begin(), entries.files.end());
  return entries;
}

Result<std::vector<std::string>> ListSubfolders(const std::string& folder) {
  Result<VisibleEntries> entries = ListVisibleEntries(folder);
  if (!entries.ok()) return entries.error();
  return std::move(entries->folders);
}

Error RemoveEmptyFolder(const std::string& path) {
  if (::rmdir(path.c_str()) != 0) return Error::LastErrno();
  return Error();
}

Error DeleteFile(const std::string& path) {
  Result<File> file = OpenAlone(path);
  if (!file.ok()) return file.error();
  if (::unlink(path.c_str()) != 0) return Error::LastErrno();
  return file->Close();
}

Error MoveFileNoReplace(const std::string& from, const std::string& to) {
  Result<File> file = OpenAlone(from);
  if (!file.ok()) return file.error();
  if (Error e = RenameNoReplace(from, to)) return e;
  return file->Close();
}

Error CopyFile(const std::string& from, const std::string& to, IfTargetExists if_exists) {
  const bool fail_if_exists = if_exists == IfTargetExists::kFail;
  Result<File> source =
      File::Open(from, OpenOptions{Access::kRead, Share::kRead, Disposition::kOpenExisting});
  if (!source.ok()) return source.error();
  if (fail_if_exists && PathExists(to)) return Error(err::kFileExists);
  Result<AtomicFileWriter> writer = AtomicFileWriter::Begin(to);
  if (!writer.ok()) return writer.error();
  char buffer[1 << 16];
  for (;;) {
    Result<size_t> n = source->Read(buffer, sizeof buffer);
    if (!n.ok()) return n.error();
    if (*n == 0) break;
    if (Error e = writer->file().WriteAll(buffer, *n)) return e;
  }
  return writer->Commit(fail_if_exists ? AtomicFileWriter::Publish::kCreateNew
                                       : AtomicFileWriter::Publish::kReplace);
}

Error CreateDirectories(const std::string& path) {
  if (path.empty()) return Error(err::kPathNotFound);
  std::string partial;
  size_t pos = 0;
  while (pos != std::string::npos) {
    pos = path.find('/', pos + 1);
    partial = path.substr(0, pos);
    if (partial.empty() || partial == "/") continue;
    if (::mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) return Error::LastErrno();
  }
  Result<FileInfo> info = GetFileInfo(path);
  if (!info.ok()) return info.error();
  return info->is_directory ? Error() : Error(err::kAlreadyExists);
}

Result<AtomicFileWriter> AtomicFileWriter::Begin(const std::string& target) {
  const std::string folder = FolderOf(target);
  for (int attempt = 0; attempt < 16; ++attempt) {
    Result<File> file =
        File::Open(JoinPath(folder, RandomTempName()),
                   OpenOptions{Access::kReadWrite, Share::kNone, Disposition::kCreateNew});
    if (file.ok()) return AtomicFileWriter(std::move(*file), target);
    if (file.error().code() != err::kFileExists) return file.error();
  }
  return Error(err::kFileExists);
}

AtomicFileWriter& AtomicFileWriter::operator=(AtomicFileWriter&& other) noexcept {
  if (this != &other) {
    Abandon();
    file_ = std::move(other.file_);
    target_ = std::move(other.target_);
  }
  return *this;
}

AtomicFileWriter::~AtomicFileWriter() { Abandon(); }

void AtomicFileWriter::Abandon() {
  if (!file_.is_open()) return;
  ::unlink(file_.path().c_str());
  (void)file_.Close();
}

Error AtomicFileWriter::Commit(Publish publish) {
  if (!file_.is_open()) return Error(err::kInvalidParameter);
  Error e = file_.Sync();
  if (e.ok()) {
    if (publish == Publish::kReplace) {
      if (::rename(file_.path().c_str(), target_.c_str()) != 0) e = Error::LastErrno();
    } else {
      e = RenameNoReplace(file_.path(), target_);
    }
  }
  if (e) {
    Abandon();
    return e;
  }
  return file_.Close();
}

void RemoveStaleTempFiles(const std::string& folder) {
  Result<std::vector<FoundFile>> found = FindFiles(folder, kTempSuffix);
  if (!found.ok()) return;
  const FileTime now = Now();
  for (const FoundFile& f : *found) {
    if (f.name.rfind(kTempPrefix, 0) != 0) continue;
    if (SecondsBetween(now, f.last_write) < kStaleTempSeconds) continue;
    (void)DeleteFile(JoinPath(folder, f.name));  // fails with 32 while a writer holds it
  }
}

Result<std::string> RealPath(const std::string& path) {
  std::unique_ptr<char, decltype(&::free)> resolved(::realpath(path.c_str(), nullptr), &::free);
  if (!resolved) return Error::LastErrno();
  return std::string(resolved.get());
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string JoinPath(const std::string& folder, std::string_view name) {
  std::string path = folder;
  if (path.empty() || path.back() != '/') path += '/';
  path += name;
  return path;
}

}  // namespace tw
