// One watched page in memory, and the fixed pieces of its page file.
//
// A page file holds, with nothing between the pieces: the 58-byte PageHeader, the address
// (`addressLength` bytes with its terminating zero), the content (`contentLength` bytes, the
// snapshot of the last stored download), `maskCount` MaskEntry records of 12 bytes, and
// `frameCount` frame groups (a 28-byte FrameEntry head, the frame's address, content and mask
// records). All integers are little-endian and written field by field.
//
// Invariants every writer keeps: addressLength is the address length + 1, or 0 without an
// address; contentLength is the content's length; maskCount and frameCount are the lengths of the
// two lists; each frame's lengths and count match its own address, content and masks. The
// Set* helpers below keep them.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/owned_list.h"
#include "platform/file_time.h"

namespace tw {

// Page status values: what kind of error the last check left.
inline constexpr uint32_t StatusNone = 0;
inline constexpr uint32_t StatusMessage = 1;      // errorCode is a string-table id
inline constexpr uint32_t StatusSystemError = 2;  // errorCode is a system or network error number
inline constexpr uint32_t StatusHttpError = 3;    // errorCode is an HTTP status
inline constexpr uint32_t StatusRechecking = 4;

inline constexpr size_t kPageHeaderSize = 58;
inline constexpr size_t kMaskEntrySize = 12;
inline constexpr size_t kFrameEntrySize = 28;
inline constexpr uint16_t kPageFileVersion = 1;
// Stored lengths of addresses are 16 bits and count the terminating zero.
inline constexpr size_t kMaxStoredAddressBytes = UINT16_MAX - 1;

// The part of an address a page file can hold; longer text is cut, as a stored length could not
// describe it.
std::string_view StorableAddress(std::string_view address);
// The length a page file stores for the address: its storable part and the terminating zero.
uint16_t StoredAddressLength(std::string_view address);

struct PageHeader {
  uint16_t version = kPageFileVersion;
  uint8_t updated = 0;
  uint32_t status = StatusNone;
  uint32_t errorCode = 0;
  uint8_t ignoreLastModified = 0;
  uint8_t ignoreExpires = 0;
  uint8_t smartUpdate = 0;
  uint16_t checkCount = 0;
  uint16_t waitSeconds = 0;
  uint16_t measuredWait = 0;
  FileTime updatedTime;
  FileTime lastModified;
  FileTime expires;
  uint16_t addressLength = 0;
  uint32_t maskCount = 0;
  uint32_t contentLength = 0;
  uint32_t frameCount = 0;

  bool operator==(const PageHeader&) const = default;

  // A page that has never been checked: no content and no HTTP times.
  bool NeverChecked() const {
    return contentLength == 0 && lastModified.IsZero() && expires.IsZero();
  }
};

using PageHeaderBytes = std::array<uint8_t, kPageHeaderSize>;
PageHeaderBytes EncodePageHeader(const PageHeader& header);
PageHeader DecodePageHeader(const PageHeaderBytes& bytes);

// A learned exception to the comparison: the element ordinal it applies to, its kind and a count.
struct MaskEntry : ListNode<MaskEntry> {
  MaskEntry() = default;
  MaskEntry(uint32_t i, uint32_t k, uint32_t c) : index(i), kind(k), count(c) {}
  uint32_t index = 0;
  uint32_t kind = 0;
  uint32_t count = 0;
};

using MaskList = OwnedList<MaskEntry>;

// One frame or inline frame of a page: its 28-byte head and what follows it in the file.
struct FrameEntry : ListNode<FrameEntry> {
  FrameEntry() = default;
  FrameEntry(const FrameEntry& other);  // deep copy, masks included
  FrameEntry& operator=(const FrameEntry&) = delete;

  uint16_t waitSeconds = 0;
  FileTime lastModified;
  FileTime expires;
  uint16_t addressLength = 0;
  uint32_t maskCount = 0;
  uint32_t contentLength = 0;
  std::string address;  // meaningful when addressLength != 0
  std::string content;  // the frame's snapshot
  MaskList masks;

  void SetAddress(std::string text);
  void SetContent(std::string bytes);
  bool has_address() const { return addressLength != 0; }
};

using FrameList = OwnedList<FrameEntry>;

// A page: the header fields, the file's title and last-write time, and the owned pieces.
struct PageRecord : PageHeader, ListNode<PageRecord> {
  PageRecord() = default;
  PageRecord(const PageRecord&) = delete;
  PageRecord& operator=(const PageRecord&) = delete;

  std::string title;    // the page file's base name
  FileTime fileTime;    // the page file's last-write time when it was listed
  std::string address;  // meaningful when addressLength != 0
  std::string content;  // the page's snapshot
  MaskList masks;
  FrameList frames;

  PageHeader& header() { return *this; }
  const PageHeader& header() const { return *this; }
  bool has_address() const { return addressLength != 0; }

  // Setters that keep the header's lengths and counts in step with the owned pieces.
  void SetAddress(std::string text);
  void SetContent(std::string bytes);
  void ClearContent() { SetContent({}); }
  void SyncCounts();
};

// Frees the record's address, content, masks and frames and zeroes their lengths and counts;
// the rest of the header and the title stay.
void ClearRecord(PageRecord& record);

// A header plus an address: the form in which a page file is created and an address is read.
struct PageSummary {
  PageHeader header;
  std::string address;  // meaningful when header.addressLength != 0

  void SetAddress(std::string text);
};

// A copy of a record for a page event: header, title and address, without content or lists.
std::unique_ptr<PageRecord> CopyForEvent(const PageRecord& record);

}  // namespace tw
