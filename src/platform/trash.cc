#include "platform/trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/user_dirs.h"

namespace tw {
namespace {

// Names tried for one file before giving up: "Name.twp", "Name.2.twp", ...
constexpr int kMaxNameAttempts = 1000;
constexpr mode_t kTrashMode = 0700;

struct TrashPlace {
  std::string folder;  // the trash folder, holding "files" and "info"
  std::string top;     // for a file system's own trash, the folder paths are relative to
};

Result<dev_t> DeviceOf(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return Error::LastErrno();
  return st.st_dev;
}

Error MakeFolder(const std::string& path) {
  if (::mkdir(path.c_str(), kTrashMode) == 0 || errno == EEXIST) return Error();
  return Error::LastErrno();
}

// The highest folder above `folder` that is still on its file system.
std::string TopOfFileSystem(std::string folder, dev_t device) {
  while (folder != "/") {
    const std::string parent = FolderOf(folder);
    Result<dev_t> parent_device = DeviceOf(parent.empty() ? "/" : parent);
    if (!parent_device.ok() || *parent_device != device) break;
    folder = parent.empty() ? "/" : parent;
  }
  return folder;
}

Result<TrashPlace> PlaceFor(const std::string& folder) {
  Result<dev_t> device = DeviceOf(folder);
  if (!device.ok()) return device.error();
  Result<std::string> data = DataHome();
  if (!data.ok()) return data.error();
  if (Error e = CreateDirectories(*data)) return e;
  Result<dev_t> home_device = DeviceOf(*data);
  if (home_device.ok() && *home_device == *device) return TrashPlace{*data + "/Trash", ""};
  const std::string top = TopOfFileSystem(folder, *device);
  const std::string trash = JoinPath(top, ".Trash-" + std::to_string(::getuid()));
  return TrashPlace{trash, top};
}

// The path as a .trashinfo file records it: percent-encoded, "/" and unreserved bytes kept.
std::string EscapePath(const std::string& path) {
  std::string out;
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    const bool keep = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                      (byte >= '0' && byte <= '9') ||
                      std::string_view("/-_.~").find(c) != std::string_view::npos;
    if (keep) {
      out.push_back(c);
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
      out += escaped;
    }
  }
  return out;
}

std::string LocalDeletionDate() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

std::string CandidateName(const std::string& name, int attempt) {
  if (attempt == 0) return name;
  const size_t dot = name.rfind('.');
  const std::string number = "." + std::to_string(attempt + 1);
  if (dot == std::string::npos || dot == 0) return name + number;
  return name.substr(0, dot) + number + name.substr(dot);
}

}  // namespace

Error MoveToTrash(const std::string& path) {
  Result<std::string> folder = RealPath(FolderOf(path));
  if (!folder.ok()) return folder.error();
  const std::string name = FileNameOf(path);
  const std::string source = JoinPath(*folder, name);
  if (!PathExists(source)) return Error(err::kFileNotFound);
  Result<TrashPlace> place = PlaceFor(*folder);
  if (!place.ok()) return place.error();
  const std::string files = JoinPath(place->folder, "files");
  const std::string info = JoinPath(place->folder, "info");
  for (const std::string& f : {place->folder, files, info}) {
    if (Error e = MakeFolder(f)) return e;
  }
  // A file system's own trash records paths relative to its top.
  std::string recorded = source;
  if (!place->top.empty() && place->top != "/") recorded = source.substr(place->top.size() + 1);
  if (place->top == "/") recorded = source.substr(1);
  const std::string text =
      "[Trash Info]\nPath=" + EscapePath(recorded) + "\nDeletionDate=" + LocalDeletionDate() + "\n";

  for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
    const std::string trashed = CandidateName(name, attempt);
    const std::string info_path = JoinPath(info, trashed + ".trashinfo");
    // The info file is made first and exclusively: it reserves the name in the trash.
    Result<File> record = File::Open(
        info_path, OpenOptions{Access::kReadWrite, Share::kNone, Disposition::kCreateNew});
    if (!record.ok()) {
      if (record.error().code() == err::kFileExists) continue;
      return record.error();
    }
    Error e = record->WriteAll(text);
    if (!e) e = record->Close();
    if (!e) e = MoveFileNoReplace(source, JoinPath(files, trashed));
    if (!e) return Error();
    (void)record->Close();
    (void)DeleteFile(info_path);
    if (e.code() != err::kFileExists) return e;
  }
  return Error(err::kFileExists);
}

}  // namespace tw
