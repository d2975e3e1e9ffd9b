#include "nativehost/frame.h"

#include <algorithm>
#include <cstring>

namespace tw::nativehost {
namespace {

constexpr size_t kReadChunk = 64 * 1024;

}  // namespace

std::string EncodeFrame(std::string_view message) {
  const auto length = static_cast<uint32_t>(message.size());
  std::string frame(kLengthBytes, '\0');
  std::memcpy(frame.data(), &length, kLengthBytes);  // the machine's own byte order
  frame.append(message);
  return frame;
}

uint32_t DecodeLength(std::string_view prefix) {
  uint32_t length = 0;
  std::memcpy(&length, prefix.data(), std::min(prefix.size(), kLengthBytes));
  return length;
}

bool FrameReader::Fill(size_t size, const Event& stop, Frame& frame) {
  while (buffer_.size() < size) {
    const size_t want = std::min(kReadChunk, size - buffer_.size());
    const size_t old_size = buffer_.size();
    buffer_.resize(old_size + want);
    Result<size_t> got = channel_.Read(buffer_.data() + old_size, want, stop);
    buffer_.resize(old_size + (got.ok() ? *got : 0));
    if (!got.ok()) {
      frame.error = got.error();
      frame.status = got.error().code() == err::kOperationAborted ? FrameStatus::kStopped
                                                                  : FrameStatus::kFailed;
      return false;
    }
    if (*got == 0) {
      frame.status = buffer_.empty() ? FrameStatus::kEnd : FrameStatus::kTruncated;
      return false;
    }
  }
  return true;
}

Frame FrameReader::Next(const Event& stop) {
  Frame frame;
  if (!Fill(kLengthBytes, stop, frame)) return frame;
  frame.length = DecodeLength(buffer_);
  if (frame.length > max_length_) {
    frame.status = FrameStatus::kTooLarge;
    return frame;
  }
  if (!Fill(kLengthBytes + frame.length, stop, frame)) return frame;
  frame.message = buffer_.substr(kLengthBytes, frame.length);
  buffer_.clear();
  frame.status = FrameStatus::kMessage;
  return frame;
}

}  // namespace tw::nativehost
