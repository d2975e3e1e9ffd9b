#include "pagedb/page_record.h"

#include <cstring>

namespace tw {
namespace {

// Address lengths are stored in 16 bits with the terminating zero; longer text is cut, as a
// stored length could not describe it.
uint16_t StoredAddressLength(const std::string& text) {
  return static_cast<uint16_t>(std::min<size_t>(text.size() + 1, UINT16_MAX));
}

std::string CutToStorable(std::string text) {
  if (text.size() >= UINT16_MAX) text.resize(UINT16_MAX - 1);
  return text;
}

class HeaderWriter {
 public:
  explicit HeaderWriter(PageHeaderBytes& out) : out_(out) {}
  void U8(uint8_t v) { out_[pos_++] = v; }
  void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    U16(static_cast<uint16_t>(v));
    U16(static_cast<uint16_t>(v >> 16));
  }
  void Time(FileTime t) {
    U32(static_cast<uint32_t>(t.ticks));
    U32(static_cast<uint32_t>(t.ticks >> 32));
  }
  size_t pos() const { return pos_; }

 private:
  PageHeaderBytes& out_;
  size_t pos_ = 0;
};

class HeaderReader {
 public:
  explicit HeaderReader(const PageHeaderBytes& in) : in_(in) {}
  uint8_t U8() { return in_[pos_++]; }
  uint16_t U16() {
    const uint16_t lo = U8();
    return static_cast<uint16_t>(lo | (U8() << 8));
  }
  uint32_t U32() {
    const uint32_t lo = U16();
    return lo | (static_cast<uint32_t>(U16()) << 16);
  }
  FileTime Time() {
    const uint64_t lo = U32();
    return FileTime{lo | (static_cast<uint64_t>(U32()) << 32)};
  }

 private:
  const PageHeaderBytes& in_;
  size_t pos_ = 0;
};

}  // namespace

PageHeaderBytes EncodePageHeader(const PageHeader& h) {
  PageHeaderBytes bytes{};
  HeaderWriter w(bytes);
  w.U16(h.version);
  w.U8(h.updated);
  w.U32(h.status);
  w.U32(h.errorCode);
  w.U8(h.ignoreLastModified);
  w.U8(h.ignoreExpires);
  w.U8(h.smartUpdate);
  w.U16(h.checkCount);
  w.U16(h.waitSeconds);
  w.U16(h.measuredWait);
  w.Time(h.updatedTime);
  w.Time(h.lastModified);
  w.Time(h.expires);
  w.U16(h.addressLength);
  w.U32(h.maskCount);
  w.U32(h.contentLength);
  w.U32(h.frameCount);
  return bytes;
}

PageHeader DecodePageHeader(const PageHeaderBytes& bytes) {
  HeaderReader r(bytes);
  PageHeader h;
  h.version = r.U16();
  h.updated = r.U8();
  h.status = r.U32();
  h.errorCode = r.U32();
  h.ignoreLastModified = r.U8();
  h.ignoreExpires = r.U8();
  h.smartUpdate = r.U8();
  h.checkCount = r.U16();
  h.waitSeconds = r.U16();
  h.measuredWait = r.U16();
  h.updatedTime = r.Time();
  h.lastModified = r.Time();
  h.expires = r.Time();
  h.addressLength = r.U16();
  h.maskCount = r.U32();
  h.contentLength = r.U32();
  h.frameCount = r.U32();
  return h;
}

FrameEntry::FrameEntry(const FrameEntry& other)
    : ListNode<FrameEntry>(other),
      waitSeconds(other.waitSeconds),
      lastModified(other.lastModified),
      expires(other.expires),
      addressLength(other.addressLength),
      maskCount(other.maskCount),
      contentLength(other.contentLength),
      address(other.address),
      content(other.content),
      masks(CloneList(other.masks)) {}

void FrameEntry::SetAddress(std::string text) {
  address = CutToStorable(std::move(text));
  addressLength = StoredAddressLength(address);
}

void FrameEntry::SetContent(std::string bytes) {
  content = std::move(bytes);
  contentLength = static_cast<uint32_t>(content.size());
}

void PageRecord::SetAddress(std::string text) {
  address = CutToStorable(std::move(text));
  addressLength = StoredAddressLength(address);
}

void PageRecord::ClearAddress() {
  address.clear();
  addressLength = 0;
}

void PageRecord::SetContent(std::string bytes) {
  content = std::move(bytes);
  contentLength = static_cast<uint32_t>(content.size());
}

void PageRecord::SyncCounts() {
  maskCount = masks.count();
  frameCount = frames.count();
  for (FrameEntry& frame : frames) frame.maskCount = frame.masks.count();
}

void ClearRecord(PageRecord& record) {
  record.address.clear();
  record.address.shrink_to_fit();
  record.content.clear();
  record.content.shrink_to_fit();
  record.masks.Clear();
  record.frames.Clear();
  // The lengths describe the pieces, so they go with them.
  record.addressLength = 0;
  record.contentLength = 0;
  record.maskCount = 0;
  record.frameCount = 0;
}

void PageSummary::SetAddress(std::string text) {
  address = CutToStorable(std::move(text));
  header.addressLength = StoredAddressLength(address);
}

std::unique_ptr<PageRecord> CopyForEvent(const PageRecord& record) {
  auto copy = std::make_unique<PageRecord>();
  copy->header() = record.header();
  copy->title = record.title;
  copy->fileTime = record.fileTime;
  copy->address = record.address;
  return copy;
}

}  // namespace tw
