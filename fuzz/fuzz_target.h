// The entry point every fuzz target defines; libFuzzer or the corpus runner calls it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// A property the target asserts: a false one ends the run as a crash that libFuzzer records.
inline void Check(bool condition) {
  if (!condition) std::abort();
}
