// Little-endian fields, written and read one at a time: page file pieces are never copied to or
// from packed structures.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_time.h"

namespace tw::le {

inline void PutU8(std::string& out, uint8_t v) { out.push_back(static_cast<char>(v)); }
inline void PutU16(std::string& out, uint16_t v) {
  PutU8(out, static_cast<uint8_t>(v));
  PutU8(out, static_cast<uint8_t>(v >> 8));
}
inline void PutU32(std::string& out, uint32_t v) {
  PutU16(out, static_cast<uint16_t>(v));
  PutU16(out, static_cast<uint16_t>(v >> 16));
}
// A FileTime: its low 32-bit word first.
inline void PutTime(std::string& out, FileTime t) {
  PutU32(out, static_cast<uint32_t>(t.ticks));
  PutU32(out, static_cast<uint32_t>(t.ticks >> 32));
}

// Reads consecutive fields from bytes the caller has checked to be there.
class Reader {
 public:
  explicit Reader(const void* bytes) : p_(static_cast<const unsigned char*>(bytes)) {}
  uint8_t U8() { return *p_++; }
  uint16_t U16() {
    const uint16_t lo = U8();
    return static_cast<uint16_t>(lo | (U8() << 8));
  }
  uint32_t U32() {
    const uint32_t lo = U16();
    return lo | (static_cast<uint32_t>(U16()) << 16);
  }
  FileTime Time() {
    const uint64_t lo = U32();
    return FileTime{lo | (static_cast<uint64_t>(U32()) << 32)};
  }

 private:
  const unsigned char* p_;
};

}  // namespace tw::le
