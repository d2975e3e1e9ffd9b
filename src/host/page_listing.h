// The pages of a page folder as the host program lists them: one entry per page file, read
// afresh from the folder, with the text of a page's stored error.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "pagedb/page_record.h"
#include "platform/error.h"

namespace tw {

// A writer holds a page file for the moment it takes to replace it; a reader that meets it tries
// again a few times before it reports the file as in use. `read` returns a Result.
template <class Read>
auto RetryWhileBusy(Read read) {
  constexpr int kBusyRetries = 20;
  constexpr auto kBusyPause = std::chrono::milliseconds(25);
  auto result = read();
  for (int i = 0; i < kBusyRetries && result.error().code() == err::kSharingViolation; ++i) {
    std::this_thread::sleep_for(kBusyPause);
    result = read();
  }
  return result;
}

struct ListedPage {
  std::string title;
  // When the file could not be read: a new record's, with `status` StatusSystemError and the
  // error in `errorCode`.
  PageHeader header;
  std::string address;
  std::string error_text;  // the stored error's text, or why the file could not be read
  bool in_error() const { return header.errorCode != 0; }
};

// Every page file of the folder, sorted by title (letter case aside, then exactly). A page file
// that cannot be read is listed with the reason; a missing or unreadable folder fails.
Result<std::vector<ListedPage>> ListPages(const std::string& folder);

// The text for a page's stored error: the error log's page error text, else "Unknown error.".
std::string StoredErrorText(uint32_t status, uint32_t errorCode);

// A whole page file by its path; fails with 2 when there is no such file and with 13 when its
// name does not end in ".twp".
Result<std::unique_ptr<PageRecord>> ReadPageFileAt(const std::string& path);

}  // namespace tw
