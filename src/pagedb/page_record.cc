#include "pagedb/page_record.h"

#include <cstring>

#include "pagedb/little_endian.h"

namespace tw {
namespace {

// Address lengths are stored in 16 bits with the terminating zero; longer text is cut, as a
// stored length could not describe it.
uint16_t StoredAddressLength(const std::string& text) {
  return static_cast<uint16_t>(std::min<size_t>(text.size() + 1, UINT16_MAX));
}

std::string CutToStorable(std::string text) {
  if (text.size() > kMaxStoredAddressBytes) text.resize(kMaxStoredAddressBytes);
  return text;
}

}  // namespace

PageHeaderBytes EncodePageHeader(const PageHeader& h) {
  std::string out;
  out.reserve(kPageHeaderSize);
  le::PutU16(out, h.version);
  le::PutU8(out, h.updated);
  le::PutU32(out, h.status);
  le::PutU32(out, h.errorCode);
  le::PutU8(out, h.ignoreLastModified);
  le::PutU8(out, h.ignoreExpires);
  le::PutU8(out, h.smartUpdate);
  le::PutU16(out, h.checkCount);
  le::PutU16(out, h.waitSeconds);
  le::PutU16(out, h.measuredWait);
  le::PutTime(out, h.updatedTime);
  le::PutTime(out, h.lastModified);
  le::PutTime(out, h.expires);
  le::PutU16(out, h.addressLength);
  le::PutU32(out, h.maskCount);
  le::PutU32(out, h.contentLength);
  le::PutU32(out, h.frameCount);
  PageHeaderBytes bytes{};
  std::memcpy(bytes.data(), out.data(), bytes.size());
  return bytes;
}

PageHeader DecodePageHeader(const PageHeaderBytes& bytes) {
  le::Reader r(bytes.data());
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
