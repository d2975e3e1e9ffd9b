// ByteChannel: a stream of bytes in and a stream of bytes out, as a parent process that talks to
// us through pipes gives them (the browser starting our native-messaging host).
//
// TakeStandardStreams takes over standard input and output for the channel alone: the channel
// keeps them on descriptors of its own (close-on-exec, so a program we start never holds the
// browser's port open) and points descriptors 0 and 1 at /dev/null and standard error, so that
// nothing printed by accident can corrupt the stream.
//
// Reads and writes wait for the other side, but never past a stop request: they end with 995
// (kOperationAborted) once `stop` is set.
//
// Threads: one thread may read while another writes; two writers must take turns (the caller's
// lock). Move-only.
#pragma once

#include <cstddef>
#include <string_view>

#include "foundation/event.h"
#include "foundation/unique_fd.h"
#include "platform/error.h"

namespace tw {

class ByteChannel {
 public:
  static Result<ByteChannel> TakeStandardStreams();
  // A channel on the two descriptors (the ends of pipes, for instance), which it takes.
  static Result<ByteChannel> FromDescriptors(UniqueFd input, UniqueFd output);

  // Some bytes, at most `size`, waiting until there are some: the count, 0 at the end of the
  // input.
  Result<size_t> Read(char* data, size_t size, const Event& stop);
  // Every byte of `data`, waiting while the reader is slow. Fails with the write's error when the
  // reader has gone (the broken pipe is an error, never a signal).
  Error Write(std::string_view data, const Event& stop);

 private:
  ByteChannel(UniqueFd input, UniqueFd output)
      : input_(std::move(input)), output_(std::move(output)) {}
  UniqueFd input_;
  UniqueFd output_;
};

}  // namespace tw
