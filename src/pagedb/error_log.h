// The page error log: error messages that arise where nobody can show them (background threads,
// processes without a window) wait as error files in the page folder until a process with a
// subscribed user interface takes them. Error files are a queue between processes: written by
// anyone, taken exactly once.
//
// An error file is "err" + a number from 10000 to 99999 + ".twe" in the page folder; its content
// is the message text alone, at most kMaxErrorTextLength bytes (longer files are deleted unread).
// Takers hold the file "err" in the folder with no sharing, so one process takes at a time.
//
// A message is either a string of the string table (message_id != 0) or the text of an error
// number (message_id == 0, `error` says which).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "pagedb/page_events.h"
#include "platform/error.h"

namespace tw {

inline constexpr std::string_view kErrorFileSuffix = ".twe";

// Writes an error file: string 151 followed by the error's text and a line break, or string 150
// when the error has no text; or the string `message_id`. Fails with 80 when two numbers in a row
// are taken.
Error WriteErrorFile(const std::string& folder, uint32_t message_id, Error error = Error());
// Writes an error file about one page: "Page Error: <title>, <message>", the message being the
// error's text with a line break (or string 150), or the string `message_id`.
Error WritePageErrorFile(const std::string& folder, std::string_view title, uint32_t message_id,
                         Error error = Error());
// Hands one ErrorRecord to the first subscriber that takes it: string 151 followed by the
// error's text without a line break (or string 150), or the string `message_id`. Fails when
// there is no sink or nobody takes it.
Error PostErrorEvent(PageEventSink* sink, uint32_t message_id, Error error = Error());

// How the page database, its request thread and the check thread report a failure: an error
// file first, and an error event when that cannot be written. Errors 2 and 18 are never reported.
void ReportError(const std::string& folder, PageEventSink* sink, Error error);

// Takes the waiting error files of the folder and delivers their texts as one chain (event 5).
// Does nothing while the sink has no subscriber for error texts (mask 0x100) or another process
// is taking. True when a file was taken (read and removed). A file another process holds, or one
// that cannot be read or removed, stays for the next time.
Result<bool> TakeErrorFiles(const std::string& folder, PageEventSink& sink);

// The text shown for a page's stored error (`status`, `errorCode`), at most 259 bytes: the
// string `errorCode` (cut to 200 bytes) for StatusMessage; the error number's text for
// StatusSystemError, error 2 being shown as 12028; the HTTP status text for StatusHttpError.
// Fails for other statuses and for a number that has no text.
Result<std::string> PageErrorText(uint32_t status, uint32_t errorCode);

// The name of an error file with that number.
std::string ErrorFileName(uint32_t number);

}  // namespace tw
