// SPDX-License-Identifier: Apache-2.0
// Little-endian, big-endian and both-byte-order stores into byte buffers, as
// disc structures and drive command blocks lay out their fields.
#ifndef ORVEX_PLATFORM_BYTE_ORDER_H_
#define ORVEX_PLATFORM_BYTE_ORDER_H_

#include <cstdint>

namespace orvex {

inline void PutLE16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLE32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutLE64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutBE16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}
inline void PutBE32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * (3 - i)));
}

// Both byte orders: the value little-endian, then big-endian.
inline void PutBoth16(uint8_t* p, uint16_t v) {
  PutLE16(p, v);
  PutBE16(p + 2, v);
}
inline void PutBoth32(uint8_t* p, uint32_t v) {
  PutLE32(p, v);
  PutBE32(p + 4, v);
}

inline uint16_t GetLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t GetLE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t GetLE64(const uint8_t* p) {
  return static_cast<uint64_t>(GetLE32(p)) | (static_cast<uint64_t>(GetLE32(p + 4)) << 32);
}
inline uint16_t GetBE16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline uint32_t GetBE32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

}  // namespace orvex

#endif  // ORVEX_PLATFORM_BYTE_ORDER_H_
