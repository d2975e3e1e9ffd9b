#include "pagedb/error_log.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <random>

#include "foundation/utf8.h"
#include "pagedb/folder_markers.h"
#include "pagefile/title.h"
#include "platform/error_text.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "resources/strings.h"

namespace tw {
namespace {

constexpr uint32_t kFirstNumber = 10000;
constexpr uint32_t kNumberRange = 90000;
constexpr size_t kMaxMessageStringLength = 200;
constexpr size_t kMaxDisplayTextLength = 259;

// One step of x = x * 214013 + 2531011, the generator error file numbers have always come from.
// The state is per process and seeded from the clock and a random source, so that two threads or
// two processes writing at the same moment do not pick the same numbers.
uint32_t PickErrorNumber() {
  static std::atomic<uint32_t> state{[] {
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    return static_cast<uint32_t>(ticks) ^ std::random_device{}() ^
           static_cast<uint32_t>(::getpid());
  }()};
  uint32_t x = state.load();
  uint32_t next;
  do {
    next = x * 214013u + 2531011u;
  } while (!state.compare_exchange_weak(x, next));
  const uint32_t r = (next >> 16) & 0x7FFF;
  return kFirstNumber + static_cast<uint32_t>(static_cast<double>(r) / 32768.0 * kNumberRange);
}

// The error's own text, or nothing.
std::optional<std::string_view> TextOf(Error error) { return ErrorText(error.code()); }

std::string StringOrUnknown(uint32_t id) {
  const std::optional<std::string_view> text = FindString(id);
  return std::string(text ? *text : LoadString(str::kUnknownError));
}

// String 151 and the error's text (with a line break when asked), or string 150.
enum class LineBreak { kNone, kAtEnd };

std::string GeneralMessage(uint32_t message_id, Error error, LineBreak line_break) {
  if (message_id != 0) return StringOrUnknown(message_id);
  const std::optional<std::string_view> text = TextOf(error);
  if (!text) return std::string(LoadString(str::kUnknownError));
  std::string message(LoadString(str::kUnknownErrorMoreInfo));
  message += *text;
  if (line_break == LineBreak::kAtEnd) message += '\n';
  return message;
}

// "%s" in the template replaced by the arguments in order.
std::string FormatTwo(std::string_view pattern, std::string_view first, std::string_view second) {
  std::string out;
  const std::string_view args[] = {first, second};
  size_t used = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's' && used < 2) {
      out += args[used++];
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

Error WriteTextFile(const std::string& folder, std::string_view text) {
  // Cut to what a taker reads, so that a long title never makes a message vanish unread.
  const std::string content = CutUtf8Bytes(text, kMaxErrorTextLength);
  Error last;
  for (int attempt = 0; attempt < 2; ++attempt) {
    const std::string path = JoinPath(folder, ErrorFileName(PickErrorNumber()));
    if (PathExists(path)) {
      last = Error(err::kFileExists);
      continue;
    }
    // Written beside and published whole, so that a taker never reads half a message.
    Result<AtomicFileWriter> writer = AtomicFileWriter::Begin(path);
    if (!writer.ok()) return writer.error();
    if (Error e = writer->file().WriteAll(content)) return e;
    last = writer->Commit(AtomicFileWriter::Publish::kCreateNew);
    if (last.code() != err::kFileExists) return last;
  }
  return last;
}

}  // namespace

std::string ErrorFileName(uint32_t number) {
  return std::string(FolderMarkers::kErrorTaker) + std::to_string(number) +
         std::string(kErrorFileSuffix);
}

Error WriteErrorFile(const std::string& folder, uint32_t message_id, Error error) {
  return WriteTextFile(folder, GeneralMessage(message_id, error, LineBreak::kAtEnd));
}

Error WritePageErrorFile(const std::string& folder, std::string_view title, uint32_t message_id,
                         Error error) {
  std::string message;
  if (message_id != 0) {
    message = StringOrUnknown(message_id);
  } else if (const std::optional<std::string_view> text = TextOf(error)) {
    message = std::string(*text) + "\n";
  } else {
    message = std::string(LoadString(str::kUnknownError));
  }
  return WriteTextFile(folder, FormatTwo(LoadString(str::kPageErrorFormat), title, message));
}

Error PostErrorEvent(PageEventSink* sink, uint32_t message_id, Error error) {
  if (!sink) return Error(err::kGenFailure);
  PageEvent event;
  event.code = page_event::kError;
  event.errors = std::make_unique<ErrorChain>();
  event.errors->Append(std::make_unique<ErrorRecord>(
      CutUtf8Bytes(GeneralMessage(message_id, error, LineBreak::kNone), kMaxErrorTextLength)));
  if (!sink->SendToFirstTaker(std::move(event))) return Error(err::kGenFailure);
  return Error();
}

void ReportError(const std::string& folder, PageEventSink* sink, Error error) {
  if (error.ok() || error.IsNothingThere()) return;
  if (WriteErrorFile(folder, 0, error).ok()) return;
  (void)PostErrorEvent(sink, 0, error);
}

Result<bool> TakeErrorFiles(const std::string& folder, PageEventSink& sink) {
  // Error files wait until some process has a user interface to show them: a subscriber that
  // takes error texts, since one that only follows pages would have them deleted unseen.
  if (!sink.HasSubscribers(page_event::kMaskMessages)) return false;
  Result<File> lock = FolderMarkers(folder).HoldErrorTaking();
  if (!lock.ok()) {
    // Another process is taking them right now.
    if (lock.error().code() == err::kSharingViolation) return false;
    return lock.error();
  }
  Result<std::vector<FoundFile>> found = FindFiles(folder, kErrorFileSuffix);
  if (!found.ok()) return found.error();
  if (found->empty()) return false;

  auto chain = std::make_unique<ErrorChain>();
  bool taken = false;
  for (const FoundFile& f : *found) {
    // Read-only: closing a file opened for writing would tell the folder watch it changed, and
    // wake every reconciling process again. The "err" lock keeps other takers out, and writers
    // publish error files whole.
    Result<File> file =
        File::Open(JoinPath(folder, f.name),
                   OpenOptions{Access::kRead, Share::kRead, Disposition::kOpenExisting});
    if (!file.ok()) continue;  // still being written, or gone: the next reconciliation sees it
    Result<uint64_t> size = file->Size();
    if (!size.ok()) continue;
    std::optional<std::string> text;
    if (*size <= kMaxErrorTextLength) {
      text.emplace(static_cast<size_t>(*size), '\0');
      if (file->ReadExact(text->data(), text->size())) continue;  // unreadable now: left for later
    }
    // Taken (or too long to be a message) only once removed: a file that stays would otherwise
    // be shown again, and count as a change, at every reconciliation.
    if (file->Unlink()) continue;
    taken = true;
    if (text) chain->Append(std::make_unique<ErrorRecord>(std::move(*text)));
  }
  if (!chain->empty()) {
    PageEvent event;
    event.code = page_event::kError;
    event.errors = std::move(chain);
    (void)sink.SendToFirstTaker(std::move(event));  // nobody taking it loses only the texts
  }
  return taken;
}

Result<std::string> PageErrorText(uint32_t status, uint32_t errorCode) {
  std::optional<std::string_view> text;
  size_t limit = kMaxDisplayTextLength;
  switch (status) {
    case StatusMessage:
      text = FindString(errorCode);
      limit = kMaxMessageStringLength;
      break;
    case StatusSystemError:
      text = ErrorText(errorCode == err::kFileNotFound ? err::kInternetItemNotFound : errorCode);
      break;
    case StatusHttpError:
      if (errorCode <= UINT32_MAX - str::kHttpStatusBase) {
        text = FindString(str::kHttpStatusBase + errorCode);
      }
      break;
    default:
      return Error(err::kInvalidParameter);
  }
  if (!text) return Error(err::kFileNotFound);
  return CutUtf8Bytes(*text, limit);
}

}  // namespace tw
