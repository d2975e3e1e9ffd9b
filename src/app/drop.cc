// What is dropped on the page list, or handed to the window: Internet shortcuts become pages
// added quietly, page files are imported, an address becomes a page. A browser hands over a
// dropped file's name and contents, not its path, so a page file is kept in a private folder
// until the import has copied it.
#include <random>

#include "app/application.h"
#include "app/application_internal.h"
#include "app/messages.h"
#include "app/page_rules.h"
#include "browser/bookmarks.h"
#include "foundation/utf8.h"
#include "pagefile/title.h"
#include "platform/file_system.h"
#include "platform/user_dirs.h"

namespace tw::app {
namespace {

constexpr std::string_view kShortcutSuffix = ".url";
constexpr std::string_view kDropFolder = "dropped";

// A dropped text without the white space around it (a browser may add a line end).
std::string_view TrimText(std::string_view text) {
  const size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string_view::npos) return {};
  return text.substr(begin, text.find_last_not_of(" \t\r\n") - begin + 1);
}

// The part of a name from its last "." on, compared exactly.
bool HasSuffix(std::string_view name, std::string_view suffix) {
  const size_t dot = name.rfind('.');
  return dot != std::string_view::npos && name.substr(dot) == suffix;
}

std::string RandomName() {
  std::random_device random;
  constexpr char kHex[] = "0123456789abcdef";
  std::string name;
  for (int i = 0; i < 16; ++i) name += kHex[random() & 0xf];
  return name;
}

}  // namespace

// A page file handed over as bytes, kept where the import can copy it from.
Result<std::string> Application::Core::StageDroppedFile(const DroppedFile& file) {
  Result<std::string> runtime = PrivateRuntimeDir();
  if (!runtime.ok()) return runtime.error();
  const std::string folder = JoinPath(JoinPath(*runtime, kDropFolder), RandomName());
  if (Error e = CreateDirectories(folder)) return e;
  const std::string path = JoinPath(folder, FileNameOf(file.name));
  Result<AtomicFileWriter> writer = AtomicFileWriter::Begin(path);
  if (!writer.ok()) return writer.error();
  if (Error e = writer->file().WriteAll(file.bytes)) return e;
  if (Error e = writer->Commit(AtomicFileWriter::Publish::kCreateNew)) return e;
  return path;
}

void Application::Core::RemoveStagedFile(const std::string& path) {
  (void)DeleteFile(path);
  (void)RemoveEmptyFolder(FolderOf(path));
}

Outcome<DropResult> Application::DropFiles(const std::vector<DroppedFile>& files) {
  DropResult result;
  for (const DroppedFile& file : files) {
    const std::string name = FileNameOf(file.name);
    if (file.bytes.size() > kMaxDroppedFile) {
      result.stopped_at = name;
      result.failure = AddFailedMessage(Error(err::kNotEnoughMemory));
      break;
    }
    if (HasSuffix(name, kShortcutSuffix)) {
      // A shortcut without an address ends the drop; one the address rules refuse (too long for
      // a page) goes to the Add Page dialog to be corrected, as every quiet add does.
      const std::optional<std::string> address = ShortcutUrlValue(file.bytes);
      if (!address || address->size() < kMinShortcutAddressLength) {
        result.stopped_at = name;
        break;
      }
      const std::string title = CutUtf8Chars(TitleOfFileName(name), kMaxDerivedTitleLength);
      Outcome<QuietAdd> added = AddPageQuietly(title, *address);
      if (!added.ok()) {
        result.stopped_at = name;
        result.failure = added.message();
        break;
      }
      result.added.push_back(std::move(*added));
    } else if (HasSuffix(name, kPageFileSuffix)) {
      Result<std::string> staged = core_->StageDroppedFile(file);
      if (!staged.ok()) {
        result.stopped_at = name;
        result.failure = AddFailedMessage(staged.error());
        break;
      }
      Outcome<uint64_t> imported = ImportStagedFile(*staged);
      if (!imported.ok()) {
        result.stopped_at = name;
        result.failure = imported.message();
        break;
      }
      result.imports.push_back({*imported, name});
    }
    // Any other file is no page.
  }
  return result;
}

Outcome<DropResult> Application::DropText(std::string_view text_in) {
  const std::string text(TrimText(text_in));
  DropResult result;
  if (text.ends_with(kPageFileSuffix)) {
    Outcome<uint64_t> imported = ImportPageFile(text);
    if (!imported.ok()) {
      result.stopped_at = text;
      result.failure = imported.message();
      return result;
    }
    result.imports.push_back({*imported, FileNameOf(text)});
    return result;
  }
  if (CheckAddressRules(text)) return result;  // not an address: nothing to add
  Outcome<QuietAdd> added = AddPageQuietly(DialogTitleFromAddress(text, MaxTitleLength()), text);
  if (!added.ok()) {
    result.stopped_at = text;
    result.failure = added.message();
    return result;
  }
  result.added.push_back(std::move(*added));
  return result;
}

}  // namespace tw::app
