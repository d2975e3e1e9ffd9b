// Feeds arbitrary bytes to the native host's reading of the browser's port, as the browser would
// write them: frames are split off one by one until the input ends or a length is refused, and
// every whole message goes to the request reader. Nothing may crash, no message may be longer
// than the cap, and what a message holds is exactly the bytes that followed its length.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "api/json_values.h"
#include "fuzz_target.h"
#include "nativehost/frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A small cap, so that short inputs reach the refusal too.
  constexpr size_t kCap = 4096;
  tw::UniqueFd input(::memfd_create("port", MFD_CLOEXEC));
  tw::UniqueFd output(::memfd_create("out", MFD_CLOEXEC));
  if (!input.valid() || !output.valid()) return 0;
  if (size > 0 && ::write(input.get(), data, size) != static_cast<ssize_t>(size)) return 0;
  ::lseek(input.get(), 0, SEEK_SET);
  tw::Result<tw::ByteChannel> channel =
      tw::ByteChannel::FromDescriptors(std::move(input), std::move(output));
  Check(channel.ok());
  tw::Event stop(tw::EventReset::kManual);
  tw::nativehost::FrameReader reader(*channel, kCap);
  size_t offset = 0;
  for (;;) {
    const tw::nativehost::Frame frame = reader.Next(stop);
    if (frame.status != tw::nativehost::FrameStatus::kMessage) {
      Check(frame.status != tw::nativehost::FrameStatus::kTooLarge || frame.length > kCap);
      break;
    }
    Check(frame.message.size() <= kCap);
    Check(offset + 4 + frame.message.size() <= size);
    Check(std::memcmp(frame.message.data(), data + offset + 4, frame.message.size()) == 0);
    offset += 4 + frame.message.size();
    (void)tw::api::ParseRequest(frame.message);
  }
  return 0;
}
