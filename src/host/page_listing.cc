#include "host/page_listing.h"

#include <algorithm>

#include "foundation/ascii.h"
#include "host/user_message.h"
#include "pagedb/error_log.h"
#include "pagedb/page_file.h"
#include "pagedb/title.h"
#include "platform/file_system.h"
#include "resources/strings.h"

namespace tw {

std::string StoredErrorText(uint32_t status, uint32_t errorCode) {
  Result<std::string> text = PageErrorText(status, errorCode);
  return text.ok() ? *text : std::string(LoadString(str::kUnknownError));
}

Result<std::vector<ListedPage>> ListPages(const std::string& folder) {
  Result<std::vector<FoundFile>> files = FindFiles(folder, kPageFileSuffix);
  if (!files.ok()) return files.error();
  std::vector<ListedPage> pages;
  pages.reserve(files->size());
  for (const FoundFile& file : *files) {
    ListedPage page;
    page.title = TitleOfFileName(file.name);
    Result<PageSummary> summary =
        RetryWhileBusy([&] { return ReadPageSummary(folder, page.title); });
    if (summary.ok()) {
      page.header = summary->header;
      if (page.header.addressLength != 0) page.address = std::move(summary->address);
      if (page.header.errorCode != 0) {
        page.error_text = StoredErrorText(page.header.status, page.header.errorCode);
      }
    } else {
      // As the page database lists a page file it cannot read: in error with the reason.
      const Error read_error = summary.error();
      page.header.status = StatusSystemError;
      page.header.errorCode = read_error.code();
      page.error_text = ErrorTextOf(read_error);
    }
    pages.push_back(std::move(page));
  }
  std::sort(pages.begin(), pages.end(), [](const ListedPage& a, const ListedPage& b) {
    const std::string la = AsciiLower(a.title), lb = AsciiLower(b.title);
    return la != lb ? la < lb : a.title < b.title;
  });
  return pages;
}

Result<std::unique_ptr<PageRecord>> ReadPageFileAt(const std::string& path) {
  if (!PathExists(path)) return Error(err::kFileNotFound);
  const std::string name = FileNameOf(path);
  if (!name.ends_with(kPageFileSuffix)) return Error(err::kInvalidData);
  const std::string folder = FolderOf(path), title = TitleOfFileName(name);
  return RetryWhileBusy([&] { return ReadPage(folder, title); });
}

}  // namespace tw
