// PageVersions: the earlier contents of the pages of one page folder, so that a user told "this
// page was updated" can see what changed.
//
// When a check finds a page changed, the content it had stored until then (the page's snapshot,
// its frames and the mask records of each) is kept as a version, with the time the change was
// found and the time that content was found. The newest versions of each page are kept, up to a
// count the caller gives (the KeepVersions option) and kMaxKeptBytesPerPage; a repeat of the newest
// version is not kept again. Versions follow their page: renamed with it, removed when it is
// deleted or reset.
//
// The store is one SQLite database in a hidden folder of the page folder
// (.versions/versions.sqlite), which every process of the user sees. It is written in
// transactions in write-ahead-log mode: a writer killed mid-write loses at most the version it
// was writing, and the page files are never touched. A folder watch on the page folder sees
// nothing of what happens inside the hidden folder. Contents are compressed (zstd), and read
// back as untrusted: a damaged version fails to load with 13 and harms no other.
//
// One object is one connection: use it from one thread at a time; open one per thread or call.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pagefile/page_record.h"
#include "platform/error.h"
#include "platform/file_time.h"
#include "platform/sqlite_database.h"
#include "settings/checking_options.h"

namespace tw {

inline constexpr std::string_view kVersionsFolderName = ".versions";
// The compressed versions of one page take at most this much; the oldest go first.
inline constexpr uint64_t kMaxKeptBytesPerPage = 16ull << 20;
// A version larger than this (page and frames with their records) is neither kept nor loaded.
inline constexpr uint64_t kMaxVersionBytes = 256ull << 20;

struct VersionInfo {
  int64_t id = 0;            // stable for the life of the version
  std::string address;       // the page's address then
  FileTime found_time;       // when this content was found (zero: it was the page's first)
  FileTime replaced_time;    // when a check found the page changed from it
  uint64_t size = 0;         // bytes of content, page and frames with their records
  uint64_t stored_size = 0;  // bytes it takes compressed
  bool operator==(const VersionInfo&) const = default;
};

class PageVersions {
 public:
  // The store of the page folder, made (with its hidden folder) when missing.
  static Result<PageVersions> Open(const std::string& page_folder);
  // The store only when the folder has one; 2 otherwise.
  static Result<PageVersions> OpenExisting(const std::string& page_folder);

  // Keeps the record's content as the newest version of the page titled record.title, found at
  // record.updatedTime and replaced at `replaced_time`, then trims the page's versions to
  // `keep` and to kMaxKeptBytesPerPage. A record without content keeps nothing; `keep` 0 keeps
  // nothing and removes what there was.
  Error Keep(const PageRecord& record, FileTime replaced_time, uint32_t keep);

  // The page's versions, newest first.
  Result<std::vector<VersionInfo>> List(std::string_view title);
  // The content of one version of the page: a record titled `title` with the address, the
  // content, the masks and the frames it had, and updatedTime set to the time it was found.
  // 2 when the page has no such version; 13 when it is damaged.
  Result<std::unique_ptr<PageRecord>> Load(std::string_view title, int64_t id);

  // The page's versions go with it to its new title; versions left under the new title by a
  // page deleted behind our back are dropped first.
  Error Rename(std::string_view old_title, std::string_view new_title);
  Error Remove(std::string_view title);
  // Keeps only the newest `keep` versions of every page (the kept-versions option went down).
  Error TrimAll(uint32_t keep);
  // Removes the versions of every page not named in `titles` (pages deleted while no Tidewell
  // ran, or by another program).
  Error RemoveAllBut(const std::vector<std::string>& titles);

 private:
  explicit PageVersions(SqliteDatabase db) : db_(std::move(db)) {}
  static Result<PageVersions> OpenAt(const std::string& page_folder, bool create);
  Error Trim(std::string_view title, uint32_t keep);

  SqliteDatabase db_;
};

// One call each, for the page file operations: a folder without a store has nothing to do.
Error RenamePageVersions(const std::string& page_folder, std::string_view old_title,
                         std::string_view new_title);
Error RemovePageVersions(const std::string& page_folder, std::string_view title);

// The serialised content of a version, before compression, and back; exposed for the fuzz
// target. Decoding checks every length against the bytes there and fails with 13.
std::string EncodeVersionContent(const PageRecord& record);
Error DecodeVersionContent(std::string_view bytes, PageRecord& record);

}  // namespace tw
