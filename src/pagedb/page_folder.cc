#include "pagedb/page_folder.h"

#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/user_dirs.h"
#include "resources/strings.h"
#include "settings/checking_options.h"

namespace tw {

Result<std::string> GetPageFolder(const SettingsStore& store) {
  Result<std::string> pdb = store.ReadString(OptionsKey(), option::kPdb);
  if (pdb.ok() && !pdb->empty() && FitsInPath(*pdb)) return *pdb;

  Result<std::string> documents = DocumentsDir();
  if (!documents.ok()) return documents.error();
  std::string folder = *documents + std::string(LoadString(str::kPageFolderName));
  if (Error e = CreateDirectories(folder)) return e;
  // Remembered so that every process finds the same folder; a store that cannot be written only
  // means the next start looks again.
  (void)store.WriteString(OptionsKey(), option::kPdb, folder);
  return folder;
}

Error WriteFolderSettings(const std::string& folder) {
  std::string text = "[Desktop Entry]\nIcon=tidewell\nComment=";
  text += LoadString(str::kFolderInfoTip);
  text += "\n";
  const std::string path = JoinPath(folder, kFolderSettingsFile);
  Result<AtomicFileWriter> writer = AtomicFileWriter::Begin(path);
  if (!writer.ok()) return writer.error();
  if (Error e = writer->file().WriteAll(text)) return e;
  return writer->Commit(AtomicFileWriter::Publish::kReplace);
}

Error RequestStopChecking(const std::string& folder) { return FolderMarkers(folder).RequestStop(); }

}  // namespace tw
