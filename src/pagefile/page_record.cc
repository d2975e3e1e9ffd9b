#include "pagefile/page_record.h"

#include <cstring>

#include "pagefile/little_endian.h"

namespace tw {
namespace {

void SetStoredAddress(std::string text, std::string& address, uint16_t& length) {
  address = std::move(text);
  address.resize(StorableAddress(address).size());
  length = StoredAddressLength(address);
}

}  // namespace

std::string_view StorableAddress(std::string_view address) {
  return address.substr(0, kMaxStoredAddressBytes);
}

uint16_t StoredAddressLength(std::string_view address) {
  return static_cast<uint16_t>(StorableAddress(address).size() + 1);
}

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
  SetStoredAddress(std::move(text), address, addressLength);
}

void FrameEntry::SetContent(std::string bytes) {
  content = std::move(bytes);
  contentLength = static_cast<uint32_t>(content.size());
}

void PageRecord::SetAddress(std::string text) {
  SetStoredAddress(std::move(text), address, addressLength);
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
  SetStoredAddress(std::move(text), address, header.addressLength);
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
