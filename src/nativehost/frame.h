// The framing of native messaging: each message is a 4-byte length in the machine's own byte
// order, then that many bytes of UTF-8 JSON.
//
// The browsers cap both directions: a message from the browser is at most kMaxIncoming bytes
// (Chromium's limit), and one to the browser at most kMaxOutgoing; a longer one would make the
// browser close the port. A length past the cap cannot be skipped safely (the stream cannot be
// resynchronised), so FrameReader reports it and the host ends.
//
// Threads: FrameReader is used by one thread; the free functions are pure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/event.h"
#include "platform/byte_channel.h"

namespace tw::nativehost {

inline constexpr size_t kMaxIncoming = 64 * 1024 * 1024;
inline constexpr size_t kMaxOutgoing = 1024 * 1024;
inline constexpr size_t kLengthBytes = 4;

// The length prefix and the message, ready to write.
std::string EncodeFrame(std::string_view message);
// The length that a 4-byte prefix announces.
uint32_t DecodeLength(std::string_view prefix);

enum class FrameStatus {
  kMessage,    // `message` holds one whole message
  kEnd,        // the input ended between two messages: the browser closed the port
  kTruncated,  // the input ended inside a message
  kTooLarge,   // the length is past kMaxIncoming; `length` holds it
  kStopped,    // the stop event was set
  kFailed,     // reading failed; `error` says why
};

struct Frame {
  FrameStatus status = FrameStatus::kFailed;
  std::string message;
  uint64_t length = 0;
  Error error;
};

class FrameReader {
 public:
  explicit FrameReader(ByteChannel& channel, size_t max_length = kMaxIncoming)
      : channel_(channel), max_length_(max_length) {}

  // The next message. Memory grows with the bytes that really arrive, never with what a length
  // only announces.
  Frame Next(const Event& stop);

 private:
  // Reads until `buffer_` holds at least `size` bytes; false at the end of the input or on
  // failure (set in `frame`).
  bool Fill(size_t size, const Event& stop, Frame& frame);

  ByteChannel& channel_;
  const size_t max_length_;
  std::string buffer_;
};

}  // namespace tw::nativehost
