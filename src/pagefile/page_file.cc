#include "pagefile/page_file.h"

#include <cstring>
#include <functional>
#include <mutex>

#include "foundation/thread_annotations.h"
#include "pagefile/little_endian.h"
#include "pagefile/page_versions.h"
#include "pagefile/title.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/url_cache.h"

namespace tw {
namespace {

// Reads the pieces of one page file, refusing any length that the bytes left cannot hold.
class PageFileReader {
 public:
  static Result<PageFileReader> Open(const std::string& path) {
    Result<File> file =
        File::Open(path, OpenOptions{Access::kRead, Share::kRead, Disposition::kOpenExisting});
    if (!file.ok()) return file.error();
    return Over(std::move(*file));
  }
  // Reads a file opened by the caller, from its start.
  static Result<PageFileReader> Over(File file) {
    Result<uint64_t> size = file.Size();
    if (!size.ok()) return size.error();
    if (Error e = file.Seek(0)) return e;
    return PageFileReader(std::move(file), *size);
  }
  // The file, for the caller that handed it over.
  File TakeFile() { return std::move(file_); }

  Error ReadHeader(PageHeader& header) {
    PageHeaderBytes bytes{};
    const size_t available = static_cast<size_t>(std::min<uint64_t>(remaining_, bytes.size()));
    if (available < 2) return Error(err::kInvalidData);
    if (Error e = Read(bytes.data(), available)) return e;
    if ((bytes[0] | (bytes[1] << 8)) != kPageFileVersion) return Error(err::kInvalidData);
    if (available < bytes.size()) return Error(err::kInvalidData);
    header = DecodePageHeader(bytes);
    return Error();
  }

  // A zero-terminated text of `length` bytes, terminator included; the text ends at the first zero.
  Error ReadText(uint16_t length, std::string& out) {
    if (Error e = ReadBytes(length, out)) return e;
    const size_t end = out.find('\0');
    if (end != std::string::npos) out.resize(end);
    return Error();
  }

  Error ReadBytes(uint64_t length, std::string& out) {
    if (length > remaining_) return Error(err::kInvalidData);
    out.resize(static_cast<size_t>(length));
    return Read(out.data(), out.size());
  }

  Error ReadMasks(uint32_t count, MaskList& masks) {
    const uint64_t length = uint64_t{count} * kMaskEntrySize;
    std::string bytes;
    if (Error e = ReadBytes(length, bytes)) return e;
    le::Reader in(bytes.data());
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t index = in.U32();
      const uint32_t kind = in.U32();
      masks.Append(std::make_unique<MaskEntry>(index, kind, in.U32()));
    }
    return Error();
  }

  Error ReadFrame(FrameEntry& frame) {
    std::string head;
    if (Error e = ReadBytes(kFrameEntrySize, head)) return e;
    le::Reader in(head.data());
    frame.waitSeconds = in.U16();
    frame.lastModified = in.Time();
    frame.expires = in.Time();
    frame.addressLength = in.U16();
    frame.maskCount = in.U32();
    frame.contentLength = in.U32();
    if (frame.addressLength != 0) {
      if (Error e = ReadText(frame.addressLength, frame.address)) return e;
    }
    if (Error e = ReadBytes(frame.contentLength, frame.content)) return e;
    return ReadMasks(frame.maskCount, frame.masks);
  }

 private:
  PageFileReader(File file, uint64_t size) : file_(std::move(file)), remaining_(size) {}

  Error Read(void* buffer, size_t size) {
    if (Error e = file_.ReadExact(buffer, size)) {
      // The file shrank under us or ended early: it is not the page file its lengths describe.
      return e.code() == err::kHandleEof ? Error(err::kInvalidData) : e;
    }
    remaining_ -= size;
    return Error();
  }

  File file_;
  uint64_t remaining_;
};

// Serialises the pieces of a page file into an open file, through a buffer for the small pieces.
class PageFileWriter {
 public:
  explicit PageFileWriter(File& file) : file_(file) {}

  void U16(uint16_t v) { le::PutU16(buffer_, v); }
  void U32(uint32_t v) { le::PutU32(buffer_, v); }
  void Time(FileTime t) { le::PutTime(buffer_, t); }
  void Header(const PageHeader& header) {
    const PageHeaderBytes bytes = EncodePageHeader(header);
    buffer_.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  // The text and its terminating zero.
  void Address(const std::string& address) {
    buffer_.append(StorableAddress(address));
    buffer_.push_back('\0');
  }
  void Masks(const MaskList& masks) {
    for (const MaskEntry& mask : masks) {
      U32(mask.index);
      U32(mask.kind);
      U32(mask.count);
    }
  }
  Error Bytes(const std::string& bytes) {
    if (bytes.size() < kDirectWrite) {
      buffer_.append(bytes);
      return Error();
    }
    if (Error e = Flush()) return e;
    return file_.WriteAll(bytes);
  }
  Error Flush() {
    Error e = file_.WriteAll(buffer_);
    buffer_.clear();
    return e;
  }

 private:
  static constexpr size_t kDirectWrite = 64 * 1024;
  File& file_;
  std::string buffer_;
};

uint16_t AddressLengthOf(bool has_address, const std::string& address) {
  return has_address ? StoredAddressLength(address) : 0;
}

// The header a record is written with: its own fields, with version 1 and the lengths and counts
// of the pieces actually written, so that the file always describes itself correctly.
PageHeader HeaderToWrite(const PageRecord& record) {
  PageHeader header = record.header();
  header.version = kPageFileVersion;
  header.addressLength = AddressLengthOf(record.has_address(), record.address);
  header.contentLength = static_cast<uint32_t>(record.content.size());
  header.maskCount = record.masks.count();
  header.frameCount = record.frames.count();
  return header;
}

Error WriteFrames(PageFileWriter& out, const FrameList& frames) {
  for (const FrameEntry& frame : frames) {
    out.U16(frame.waitSeconds);
    out.Time(frame.lastModified);
    out.Time(frame.expires);
    out.U16(AddressLengthOf(frame.has_address(), frame.address));
    out.U32(frame.masks.count());
    out.U32(static_cast<uint32_t>(frame.content.size()));
    if (frame.has_address()) out.Address(frame.address);
    if (Error e = out.Bytes(frame.content)) return e;
    out.Masks(frame.masks);
  }
  return Error();
}

// Makes a page file's last-write time later than `before`. File times advance in clock ticks of
// several milliseconds, so two writes within one tick would otherwise look like no change to
// everyone who notices changed pages by their last-write time.
Error MoveWriteTimePast(File& file, FileTime before) {
  if (before.IsZero()) return Error();
  Result<FileTime> now = file.LastWriteTime();
  if (!now.ok()) return now.error();
  if (*now > before) return Error();
  return file.SetLastWriteTime(FileTime{before.ticks + 1});
}

// Writes the header (as version 1) over the first bytes of a page file held exclusively, moves its
// last-write time forward and closes it.
Error WriteHeaderAndClose(File& file, PageHeader header) {
  header.version = kPageFileVersion;
  const PageHeaderBytes bytes = EncodePageHeader(header);
  Result<FileTime> before = file.LastWriteTime();
  if (Error e = file.Seek(0)) return e;
  if (Error e = file.WriteAll(bytes.data(), bytes.size())) return e;
  if (before.ok()) {
    if (Error e = MoveWriteTimePast(file, *before)) return e;
  }
  return file.Close();
}

using PageFileWrite = std::function<Error(PageFileWriter&)>;

// Writes a new file for the page and publishes it over `path`, while the caller holds the page's
// current file exclusively (`held`, or nothing for a page created new). The new file's last-write
// time is later than the one it replaces; its stamp is the result.
Result<FileStamp> PublishOver(const std::string& path, CreateMode mode, File& held,
                              bool held_is_placeholder, const PageFileWrite& write) {
  FileTime replaced_time;
  if (held.is_open() && !held_is_placeholder) {
    Result<FileTime> t = held.LastWriteTime();
    if (t.ok()) replaced_time = *t;
  }
  Result<AtomicFileWriter> writer = AtomicFileWriter::Begin(path);
  if (!writer.ok()) return writer.error();
  PageFileWriter out(writer->file());
  if (Error e = write(out)) return e;
  if (Error e = out.Flush()) return e;
  if (Error e = MoveWriteTimePast(writer->file(), replaced_time)) return e;
  Result<FileStamp> written = writer->file().Stamp();
  if (!written.ok()) return written.error();
  if (Error e = writer->Commit(mode == CreateMode::kNew ? AtomicFileWriter::Publish::kCreateNew
                                                        : AtomicFileWriter::Publish::kReplace)) {
    return e;
  }
  return *written;
}

const OpenOptions kHoldExisting{Access::kReadWrite, Share::kNone, Disposition::kOpenExisting};

// Holds the page's current file (when there is one) exclusively while a new one is written and
// published, so that a writer fails while anyone has the page open and nobody sees a part.
Error PublishPage(const std::string& path, CreateMode mode, const PageFileWrite& write) {
  File current;
  bool created_placeholder = false;
  if (mode == CreateMode::kReplace) {
    Result<File> held = File::Open(path, kHoldExisting);
    if (!held.ok() && held.error().code() == err::kFileNotFound) {
      // Hold the name while the page is written, so that a second writer waits its turn.
      OpenOptions placeholder{Access::kReadWrite, Share::kNone, Disposition::kCreateNew};
      placeholder.lock_before_naming = true;  // a reader must never find it empty and unlocked
      held = File::Open(path, placeholder);
      created_placeholder = held.ok();
    }
    if (!held.ok()) return held.error();
    current = std::move(*held);
  }
  Result<FileStamp> written = PublishOver(path, mode, current, created_placeholder, write);
  if (!written.ok() && created_placeholder) (void)current.Unlink();
  return written.ok() ? Error() : written.error();
}

}  // namespace

namespace {

template <class Fill>
Result<std::unique_ptr<PageRecord>> ReadNewRecord(const std::string& title, Fill fill) {
  auto record = std::make_unique<PageRecord>();
  record->title = title;
  if (Error e = fill(*record)) return e;
  return record;
}

// Reads header and address, and with `whole` the content, masks and frames.
Error ReadPieces(PageFileReader& reader, bool whole, PageRecord& record) {
  if (Error e = reader.ReadHeader(record.header())) return e;
  if (record.addressLength != 0) {
    if (Error e = reader.ReadText(record.addressLength, record.address)) return e;
  }
  if (!whole) {
    // A summary holds no pieces beyond the address; its counts must not claim any.
    record.contentLength = 0;
    record.maskCount = 0;
    record.frameCount = 0;
    return Error();
  }
  if (Error e = reader.ReadBytes(record.contentLength, record.content)) return e;
  if (Error e = reader.ReadMasks(record.maskCount, record.masks)) return e;
  for (uint32_t i = 0; i < record.frameCount; ++i) {
    auto frame = std::make_unique<FrameEntry>();
    if (Error e = reader.ReadFrame(*frame)) return e;
    record.frames.Append(std::move(frame));
  }
  return Error();
}

Error ReadInto(const std::string& folder, const std::string& title, bool whole,
               PageRecord& record) {
  Result<PageFileReader> reader = PageFileReader::Open(PagePath(folder, title));
  if (!reader.ok()) return reader.error();
  return ReadPieces(*reader, whole, record);
}

Error ReadWhole(const std::string& folder, const std::string& title, PageRecord& record) {
  Error e = ReadInto(folder, title, true, record);
  if (e) ClearRecord(record);
  return e;
}

PageSummary SummaryWithAddress(const std::string& address) {
  PageSummary summary;
  summary.SetAddress(address);
  return summary;
}

}  // namespace

Result<std::unique_ptr<PageRecord>> ReadPage(const std::string& folder, const std::string& title) {
  return ReadNewRecord(title, [&](PageRecord& record) { return ReadWhole(folder, title, record); });
}

Error ReadPage(const std::string& folder, const std::string& title, PageRecord& record) {
  ClearRecord(record);
  return ReadWhole(folder, title, record);
}

Result<std::unique_ptr<PageRecord>> ReadPageSummaryRecord(const std::string& folder,
                                                          const std::string& title) {
  return ReadNewRecord(title,
                       [&](PageRecord& record) { return ReadInto(folder, title, false, record); });
}

Result<PageHeader> ReadPageHeader(const std::string& folder, const std::string& title) {
  Result<PageFileReader> reader = PageFileReader::Open(PagePath(folder, title));
  if (!reader.ok()) return reader.error();
  PageHeader header;
  if (Error e = reader->ReadHeader(header)) return e;
  return header;
}

Result<PageSummary> ReadPageSummary(const std::string& folder, const std::string& title) {
  Result<PageFileReader> reader = PageFileReader::Open(PagePath(folder, title));
  if (!reader.ok()) return reader.error();
  PageSummary summary;
  if (Error e = reader->ReadHeader(summary.header)) return e;
  if (summary.header.addressLength != 0) {
    if (Error e = reader->ReadText(summary.header.addressLength, summary.address)) return e;
  }
  return summary;
}

namespace {

PageFileWrite WholeRecord(const PageRecord& record) {
  return [&record](PageFileWriter& out) {
    out.Header(HeaderToWrite(record));
    if (record.has_address()) out.Address(record.address);
    if (Error e = out.Bytes(record.content)) return e;
    out.Masks(record.masks);
    return WriteFrames(out, record.frames);
  };
}

}  // namespace

Error WritePage(const std::string& folder, const PageRecord& record) {
  return PublishPage(PagePath(folder, record.title), CreateMode::kReplace, WholeRecord(record));
}

Result<FileStamp> RevisePage(const std::string& folder, const std::string& title,
                             const PageReviser& revise) {
  const std::string path = PagePath(folder, title);
  Result<File> held = File::Open(path, kHoldExisting);
  if (!held.ok()) return held.error();
  Result<PageFileReader> reader = PageFileReader::Over(std::move(*held));
  if (!reader.ok()) return reader.error();
  PageRecord current;
  current.title = title;
  if (Error e = ReadPieces(*reader, true, current)) return e;
  File file = reader->TakeFile();
  const PageRecord* revised = revise(current);
  if (!revised) return file.Stamp();
  return PublishOver(path, CreateMode::kReplace, file, false, WholeRecord(*revised));
}

Error WritePageHeader(const std::string& folder, const std::string& title,
                      const PageHeader& header) {
  Result<File> file =
      File::Open(PagePath(folder, title),
                 OpenOptions{Access::kReadWrite, Share::kNone, Disposition::kOpenAlways});
  if (!file.ok()) return file.error();
  return WriteHeaderAndClose(*file, header);
}

Error CreatePageFile(const std::string& folder, const std::string& title,
                     const PageSummary& summary, CreateMode mode) {
  // The path and its terminating zero must fit in 260: the same bound as the title rule.
  if (title.size() > MaxTitleLength(folder)) return Error(err::kFilenameTooLong);
  PageHeader header = summary.header;
  header.version = kPageFileVersion;
  header.addressLength = AddressLengthOf(header.addressLength != 0, summary.address);
  // The file holds header and address only; counts for pieces it lacks would make it unreadable.
  header.contentLength = 0;
  header.maskCount = 0;
  header.frameCount = 0;
  return PublishPage(PagePath(folder, title), mode, [&](PageFileWriter& out) {
    out.Header(header);
    if (header.addressLength != 0) out.Address(summary.address);
    return Error();
  });
}

namespace {

std::mutex new_page_defaults_mutex;
PageSettings new_page_defaults TW_GUARDED_BY(new_page_defaults_mutex);

}  // namespace

PageSettings CurrentNewPageSettings() {
  std::lock_guard lock(new_page_defaults_mutex);
  return new_page_defaults;
}

void SetCurrentNewPageSettings(const PageSettings& defaults) {
  std::lock_guard lock(new_page_defaults_mutex);
  new_page_defaults = defaults;
}

Error AddPageWithDefaults(const std::string& folder, const std::string& title,
                          const std::string& address) {
  return AddPageWithDefaults(folder, title, address, CurrentNewPageSettings());
}

Error AddPageWithDefaults(const std::string& folder, const std::string& title,
                          const std::string& address, const PageSettings& defaults) {
  if (title.size() > MaxTitleLength(folder)) return Error(err::kFilenameTooLong);
  PageSummary summary = SummaryWithAddress(address);
  summary.header.ignoreLastModified = defaults.ignoreLastModified ? 1 : 0;
  summary.header.ignoreExpires = defaults.ignoreExpires ? 1 : 0;
  summary.header.smartUpdate = defaults.smartUpdate ? 1 : 0;
  if (defaults.smartUpdate) {
    summary.header.checkCount = defaults.checkCount;
    summary.header.waitSeconds = defaults.waitSeconds;
  }
  // Created as new: adding a page never wipes a page that already has the title.
  if (Error e = CreatePageFile(folder, title, summary, CreateMode::kNew)) return e;
  // The mark only tells Smart History the address is known; the page exists either way. Nor does
  // the history: a new page has none, also when one of its title was deleted behind our back.
  (void)MarkAddress(address);
  (void)RemovePageVersions(folder, title);
  return Error();
}

Error SetPageOptions(const std::string& folder, const std::string& title,
                     const std::string& address, const PageSettings& settings) {
  PageSummary summary = SummaryWithAddress(address);
  summary.header.ignoreLastModified = settings.ignoreLastModified ? 1 : 0;
  summary.header.ignoreExpires = settings.ignoreExpires ? 1 : 0;
  summary.header.smartUpdate = settings.smartUpdate ? 1 : 0;
  if (settings.smartUpdate) {
    summary.header.checkCount = settings.checkCount;
    summary.header.waitSeconds = settings.waitSeconds;
  }
  return CreatePageFile(folder, title, summary);
}

Error ResetPage(const std::string& folder, const std::string& title, const std::string& address) {
  if (Error e = CreatePageFile(folder, title, SummaryWithAddress(address))) return e;
  // Its history goes with what it had; the page is reset either way.
  (void)RemovePageVersions(folder, title);
  return Error();
}

Error ClearUpdated(const std::string& folder, const std::string& title) {
  // Read and written back under one open that shares nothing: a page replaced, renamed or deleted
  // between a read and a second open would get a stale header, or be made again as a bare one.
  Result<File> file =
      File::Open(PagePath(folder, title),
                 OpenOptions{Access::kReadWrite, Share::kNone, Disposition::kOpenExisting});
  if (!file.ok()) return file.error();
  PageHeaderBytes bytes{};
  if (Error e = file->ReadExact(bytes.data(), bytes.size())) {
    return e.code() == err::kHandleEof ? Error(err::kInvalidData) : e;
  }
  PageHeader header = DecodePageHeader(bytes);
  if (header.version != kPageFileVersion) return Error(err::kInvalidData);
  header.updated = 0;
  return WriteHeaderAndClose(*file, header);
}

Error RenamePage(const std::string& folder, const std::string& old_title,
                 const std::string& new_title) {
  if (Error e = MoveFileNoReplace(PagePath(folder, old_title), PagePath(folder, new_title))) {
    return e;
  }
  // The page is renamed either way; a history that cannot follow it is dropped later.
  (void)RenamePageVersions(folder, old_title, new_title);
  return Error();
}

Error DeletePage(const std::string& folder, const std::string& title) {
  Result<PageSummary> summary = ReadPageSummary(folder, title);
  if (Error e = DeleteFile(PagePath(folder, title))) return e;
  // Unmarked only once the page is gone: a page that could not be deleted keeps its mark.
  if (summary.ok() && summary->header.addressLength != 0) (void)UnmarkAddress(summary->address);
  (void)RemovePageVersions(folder, title);
  return Error();
}

Error ImportPageFile(const std::string& source_path, const std::string& folder) {
  if (!PathExists(source_path)) return Error(err::kFileNotFound);
  const std::string name = FileNameOf(source_path);
  if (Error e = CopyFile(source_path, JoinPath(folder, name), IfTargetExists::kFail)) return e;
  (void)RemovePageVersions(folder, TitleOfFileName(name));
  return Error();
}

}  // namespace tw
