// Page events: what the page database tells its subscribers, and the interface through which
// anything below the page database object (the error log, the check thread) hands it events.
//
// An event has a code; its mask bit decides which subscribers get it:
//   0x1    codes 0 (page added, or sent as part of the full list), 1 (removed), 2 (changed) with
//          an event copy of the page; 9 (loading begun) without data.
//   0x10   codes 3 (folder locked: a check pass runs somewhere) and 4 (not locked), no data.
//   0x100  code 5 with a chain of ErrorRecords, code 7 with the list of newly updated pages.
//   0x1000 code 6 with a PageRequest that has been carried out.
// Events of masks 0x1 and 0x10 go to every subscriber whose mask has the bit; an event copy is
// shared and lives while any receiver holds it. Events of masks 0x100 and 0x1000 go to the first
// subscriber that takes them, which then owns the data; when nobody takes them it is freed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "foundation/message_queue.h"
#include "foundation/owned_list.h"
#include "pagefile/page_record.h"

namespace tw {

namespace page_event {
inline constexpr uint16_t kPageAdded = 0;
inline constexpr uint16_t kPageRemoved = 1;
inline constexpr uint16_t kPageChanged = 2;
inline constexpr uint16_t kFolderLocked = 3;
inline constexpr uint16_t kFolderUnlocked = 4;
inline constexpr uint16_t kError = 5;
inline constexpr uint16_t kRequestDone = 6;
inline constexpr uint16_t kNewlyUpdated = 7;
inline constexpr uint16_t kLoadingBegun = 9;

inline constexpr uint32_t kMaskPages = 0x1;
inline constexpr uint32_t kMaskChecking = 0x10;
inline constexpr uint32_t kMaskMessages = 0x100;
inline constexpr uint32_t kMaskRequests = 0x1000;

// The message id with which a window subscriber (a message queue) receives events; the message's
// param is the code and its payload a PageEventMessage.
inline constexpr uint32_t kMessageId = 0x52C;

constexpr uint32_t MaskOf(uint16_t code) {
  switch (code) {
    case kPageAdded:
    case kPageRemoved:
    case kPageChanged:
    case kLoadingBegun:
      return kMaskPages;
    case kFolderLocked:
    case kFolderUnlocked:
      return kMaskChecking;
    case kError:
    case kNewlyUpdated:
      return kMaskMessages;
    case kRequestDone:
      return kMaskRequests;
    default:
      return 0;
  }
}
}  // namespace page_event

// Longest error text a record holds, and longest error file that is read.
inline constexpr size_t kMaxErrorTextLength = 260;

// One error message waiting to be shown to the user.
struct ErrorRecord : ListNode<ErrorRecord> {
  explicit ErrorRecord(std::string t = {}) : text(std::move(t)) {}
  std::string text;  // at most kMaxErrorTextLength bytes
};
using ErrorChain = OwnedList<ErrorRecord>;

// A page that has just become updated: its title and address.
struct UpdatedPage : ListNode<UpdatedPage> {
  UpdatedPage(std::string t, std::string a) : title(std::move(t)), address(std::move(a)) {}
  std::string title;
  std::string address;
};
using UpdatedPageList = OwnedList<UpdatedPage>;

// A queued page operation for the page database's request thread.
struct PageRequest {
  enum Kind : uint32_t { kAddPage = 0, kDeletePage = 1, kImportPageFile = 2 };
  Kind kind = kAddPage;
  std::string name;     // the title (kinds 0 and 1) or the source path (kind 2)
  std::string address;  // kind 0
  uint8_t result = 0;   // set when done: 1 when the operation succeeded, 0 when it failed
  uint32_t error = 0;   // the error number of a failure
  uint64_t id = 0;      // the requester's own number, to know its request again
};

// One event with the data its code carries; move-only, since some data has one owner.
struct PageEvent {
  uint16_t code = 0;
  std::shared_ptr<const PageRecord> page;    // codes 0, 1, 2: the event copy
  std::unique_ptr<ErrorChain> errors;        // code 5
  std::unique_ptr<UpdatedPageList> updated;  // code 7
  std::unique_ptr<PageRequest> request;      // code 6

  uint32_t mask() const { return page_event::MaskOf(code); }
  // A second event with the same code and the same shared copy (masks 0x1 and 0x10 only).
  PageEvent Share() const {
    PageEvent copy;
    copy.code = code;
    copy.page = page;
    return copy;
  }
};

// The payload of a window subscriber's event message.
struct PageEventMessage : MessagePayload {
  explicit PageEventMessage(PageEvent e) : event(std::move(e)) {}
  PageEvent event;
};

// A callback subscriber: called with the event, which it may take data out of, and its context.
using PageEventCallback = void (*)(PageEvent& event, void* context);

// Where events go: implemented by the page database object. Callable from any thread; callbacks
// run on the calling thread with the subscriber list locked, so they must not subscribe or
// unsubscribe.
class PageEventSink {
 public:
  virtual ~PageEventSink() = default;
  // To every subscriber whose mask has the event's bit (masks 0x1 and 0x10).
  virtual void SendToAll(const PageEvent& event) = 0;
  // To the first subscriber that takes it (masks 0x100 and 0x1000): a callback always does, a
  // window does when its message could be posted. False when nobody took it; the data is freed.
  virtual bool SendToFirstTaker(PageEvent event) = 0;
  // Whether some subscriber's mask has a bit of `mask`.
  virtual bool HasSubscribers(uint32_t mask) = 0;
};

}  // namespace tw
