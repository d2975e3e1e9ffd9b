// Feeds arbitrary bytes to the reader of a kept page version (what the versions database holds,
// decompressed). Whatever it accepts encodes back to the same bytes.
#include <cstdint>
#include <string_view>

#include "fuzz_target.h"
#include "pagefile/page_versions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  tw::PageRecord record;
  if (tw::DecodeVersionContent(bytes, record)) return 0;
  Check(tw::EncodeVersionContent(record) == bytes);
  return 0;
}
