// Page file bytes built by hand, field by field at the documented offsets, so that tests check
// the reader and writer against the format rather than against each other.
#pragma once

#include <cstdint>
#include <string>

namespace tw::test {

class PageBytes {
 public:
  PageBytes& U8(uint8_t v) {
    bytes_.push_back(static_cast<char>(v));
    return *this;
  }
  PageBytes& U16(uint16_t v) { return U8(v & 0xFF).U8(v >> 8); }
  PageBytes& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  PageBytes& U64(uint64_t v) { return U32(static_cast<uint32_t>(v)).U32(v >> 32); }
  PageBytes& Raw(const std::string& s) {
    bytes_ += s;
    return *this;
  }
  PageBytes& Text(const std::string& s) { return Raw(s).U8(0); }

  // A header with these lengths and counts and recognisable values in every other field.
  PageBytes& Header(uint16_t address_length, uint32_t mask_count, uint32_t content_length,
                    uint32_t frame_count, uint16_t version = 1) {
    U16(version);                   // 0 version
    U8(1);                          // 2 updated
    U32(3);                         // 3 status (unaligned)
    U32(404);                       // 7 errorCode (unaligned)
    U8(1).U8(0).U8(1);              // 11 ignoreLastModified, 12 ignoreExpires, 13 smartUpdate
    U16(5);                         // 14 checkCount
    U16(600);                       // 16 waitSeconds
    U16(30);                        // 18 measuredWait
    U64(0x01D9'0000'1111'2222ull);  // 20 updatedTime
    U64(0x01D8'0000'3333'4444ull);  // 28 lastModified
    U64(0x01DA'0000'5555'6666ull);  // 36 expires
    U16(address_length);            // 44
    U32(mask_count);                // 46
    U32(content_length);            // 50
    U32(frame_count);               // 54
    return *this;
  }
  PageBytes& Mask(uint32_t index, uint32_t kind, uint32_t count) {
    return U32(index).U32(kind).U32(count);
  }
  PageBytes& FrameHead(uint16_t wait, uint64_t last_modified, uint64_t expires,
                       uint16_t address_length, uint32_t mask_count, uint32_t content_length) {
    return U16(wait)
        .U64(last_modified)
        .U64(expires)
        .U16(address_length)
        .U32(mask_count)
        .U32(content_length);
  }

  const std::string& str() const { return bytes_; }

 private:
  std::string bytes_;
};

}  // namespace tw::test
