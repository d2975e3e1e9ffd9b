// Reading and writing page files.
//
// Every operation names a page by its folder and title (the file is folder/title.twp) and reports
// failure with an Error: 2 when the file is missing, 13 when it is not a page file (wrong version,
// or a piece shorter than its length says), 32 while a writer has it (for readers) or while anyone
// has it open (for writers).
//
// Files are untrusted: every length is checked against the bytes really left before anything is
// allocated. Writers never leave a part-written page: a page is written under a hidden temporary
// name and renamed over the old one while the old one is held exclusively, so readers see the old
// page or the new one.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "pagefile/page_record.h"
#include "platform/error.h"
#include "platform/file.h"
#include "settings/checking_options.h"

namespace tw {

// The whole file into a new record titled `title`.
Result<std::unique_ptr<PageRecord>> ReadPage(const std::string& folder, const std::string& title);
// The whole file into an existing record, whose owned parts are freed first and whose title stays.
// On failure the record is left with its owned parts freed.
Error ReadPage(const std::string& folder, const std::string& title, PageRecord& record);
// Header and address only; content and lists stay empty.
Result<std::unique_ptr<PageRecord>> ReadPageSummaryRecord(const std::string& folder,
                                                          const std::string& title);
Result<PageHeader> ReadPageHeader(const std::string& folder, const std::string& title);
Result<PageSummary> ReadPageSummary(const std::string& folder, const std::string& title);

// Writes the whole record to the file named after its title, replacing what was there.
// The lengths and counts written are those of the record's pieces.
Error WritePage(const std::string& folder, const PageRecord& record);
// Rewrites a page from what its file holds now. The file is held with no sharing from before it
// is read until its successor is in place, so no other writer comes between what `revise` sees
// and what is written. `revise` gets the whole current record and returns the record to write,
// or null to leave the file as it is. Never creates a file: 2 when the page is not there (it was
// renamed or deleted), 13 when what is there is not a page file. On success, the stamp of the
// file the page now has.
using PageReviser = std::function<const PageRecord*(const PageRecord& current)>;
Result<FileStamp> RevisePage(const std::string& folder, const std::string& title,
                             const PageReviser& revise);
// Writes the 58 header bytes in place, keeping everything after them; creates the file if missing.
Error WritePageHeader(const std::string& folder, const std::string& title,
                      const PageHeader& header);

enum class CreateMode { kReplace, kNew };
// A file holding only the header and the address. Fails with 206 before touching the disk when
// the title is longer than MaxTitleLength(folder); with kNew, fails with 80 when the page exists.
Error CreatePageFile(const std::string& folder, const std::string& title,
                     const PageSummary& summary, CreateMode mode = CreateMode::kReplace);

// The new-page defaults of the checking options, for the whole process. Until the options are
// read they are those of PageSettings{}; the options reader sets them.
PageSettings CurrentNewPageSettings();
void SetCurrentNewPageSettings(const PageSettings& defaults);

// Creates a new page (never replacing one) with the given defaults, or with the current ones.
// `checkCount` and `waitSeconds` are taken only when Smart Update is on by default.
//
// The page's earlier versions (page_versions.h) follow the operations below: a new or imported
// page starts without any, a reset or deleted page loses them, a renamed page takes them along.
// They are a side matter: a failure there does not change the operation's result.
Error AddPageWithDefaults(const std::string& folder, const std::string& title,
                          const std::string& address, const PageSettings& defaults);
Error AddPageWithDefaults(const std::string& folder, const std::string& title,
                          const std::string& address);
// Recreates the page with these settings and the address; everything else starts over, but for
// its earlier versions. `checkCount` and `waitSeconds` are stored only with Smart Update on.
Error SetPageOptions(const std::string& folder, const std::string& title,
                     const std::string& address, const PageSettings& settings);
// Recreates the page with the address alone.
Error ResetPage(const std::string& folder, const std::string& title, const std::string& address);
// Sets `updated` to 0 in place.
Error ClearUpdated(const std::string& folder, const std::string& title);
// Fails with 80 when a page of the new title exists.
Error RenamePage(const std::string& folder, const std::string& old_title,
                 const std::string& new_title);
Error DeletePage(const std::string& folder, const std::string& title);
// Copies a page file into the folder under its own file name; fails with 80 if that name exists.
Error ImportPageFile(const std::string& source_path, const std::string& folder);

}  // namespace tw
