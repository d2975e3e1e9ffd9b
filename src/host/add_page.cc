#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>

#include "checking/retrieval_rules.h"
#include "foundation/ascii.h"
#include "host/page_functions.h"
#include "host/user_message.h"
#include "pagedb/check_thread_control.h"
#include "pagedb/page_database.h"
#include "pagedb/page_file.h"
#include "pagedb/title.h"
#include "platform/file_system.h"
#include "platform/settings_store.h"
#include "resources/strings.h"

namespace tw {
namespace {

constexpr std::string_view kHttpPrefix = "http://";
constexpr std::string_view kHttpsPrefix = "https://";
// A title made from an address keeps at most this many bytes of it.
constexpr size_t kMaxDerivedTitleLength = 251;
// A taken title loses this many bytes before its number is appended.
constexpr size_t kNumberingCut = 2;

// The prefixes are compared with case, as the host program always has.
bool HasWebPrefix(std::string_view address) {
  return address.starts_with(kHttpPrefix) || address.starts_with(kHttpsPrefix);
}

std::string TitleFromAddress(std::string_view address) {
  if (address.starts_with(kHttpPrefix)) {
    address.remove_prefix(kHttpPrefix.size());
  } else if (address.starts_with(kHttpsPrefix)) {
    address.remove_prefix(kHttpsPrefix.size());
  }
  std::string title = CutUtf8(address, kMaxDerivedTitleLength);
  if (!title.empty() && title.back() == '/') title.pop_back();
  return title;
}

// The titles of the folder's pages, folded to lower case: the page list compares titles without
// regard to case, so a title that differs only in case counts as taken.
Result<std::unordered_set<std::string>> TakenTitles(const std::string& folder) {
  Result<std::vector<FoundFile>> files = FindFiles(folder, kPageFileSuffix);
  if (!files.ok()) return files.error();
  std::unordered_set<std::string> taken;
  for (const FoundFile& file : *files) taken.insert(AsciiLower(TitleOfFileName(file.name)));
  return taken;
}

// Creates the page under the title or, when that is taken, under the title cut by two bytes with
// "2" to "9" appended. Creating as new keeps a page that appeared since the folder was listed
// (another process adding at the same moment) and moves on to the next number.
Result<std::string> AddUnderFreeTitle(const std::string& folder, const std::string& title,
                                      const std::string& address) {
  Result<std::unordered_set<std::string>> taken = TakenTitles(folder);
  if (!taken.ok()) return taken.error();
  const std::string base =
      CutUtf8(title, title.size() > kNumberingCut ? title.size() - kNumberingCut : 0);
  std::string candidate = title;
  for (char number = '2';; ++number) {
    if (!taken->contains(AsciiLower(candidate))) {
      const Error e = AddPageWithDefaults(folder, candidate, address);
      if (!e) return candidate;
      if (e.code() != err::kFileExists) return e;
    }
    if (number > '9') return Error(err::kFileExists);
    candidate = base + number;
  }
}

Result<std::string> AddPageToFolder(std::string_view address_in, std::string_view title_in) {
  Result<SettingsStore> store = SettingsStore::OpenUser();
  if (!store.ok()) return store.error();
  PageDatabase database(*store, std::make_unique<NoChecking>(), nullptr);
  if (Error e = database.Start(PageDatabase::StartMode::kOptionsOnly)) return e;
  const std::string folder = database.page_folder();

  const bool derived = title_in.empty();
  std::string title = derived ? TitleFromAddress(address_in) : std::string(title_in);
  std::string address(address_in);
  if (!HasWebPrefix(address)) address.insert(0, kHttpPrefix);
  // Longer addresses do not fit a page file's 16-bit length, and a zero byte would end the
  // address early when it is read back.
  if (address.size() > kMaxAddressLength || address.find('\0') != std::string::npos) {
    return Error(err::kInvalidParameter);
  }
  title = MakeTitleUsable(title);
  // A title made from the address is ours to shorten; one the caller chose is not.
  if (derived) title = CutUtf8(title, MaxTitleLength(folder));
  switch (CheckTitle(title, folder)) {
    case TitleProblem::kNone:
      break;
    case TitleProblem::kTooLong:
      return Error(err::kFilenameTooLong);
    case TitleProblem::kEmpty:
    case TitleProblem::kInvalidCharacter:  // only a zero byte is left after MakeTitleUsable
      return Error(err::kInvalidParameter);
  }
  return AddUnderFreeTitle(folder, title, address);
}

}  // namespace

int AddPage(std::string_view address, std::string_view title, std::string* added_title) {
  Result<std::string> added = AddPageToFolder(address, title);
  if (!added.ok()) {
    ShowMessage(str::kErrorAddingPage, added.error());
    return kPageFunctionFailed;
  }
  if (added_title) *added_title = *added;
  return kAddPageAdded;
}

}  // namespace tw
