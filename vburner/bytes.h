// SPDX-License-Identifier: Apache-2.0
// Big-endian fields of CDBs and drive responses.
#ifndef ORVEX_VBURNER_BYTES_H_
#define ORVEX_VBURNER_BYTES_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvex::vburner {

using Bytes = std::vector<uint8_t>;

inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
inline uint32_t Get24(const uint8_t* p) { return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2]; }
inline uint32_t Get32(const uint8_t* p) { return uint32_t{p[0]} << 24 | Get24(p + 1); }

inline void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}
inline void Put24(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 16);
  Put16(p + 1, v);
}
inline void Put32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  Put24(p + 1, v);
}

// Appends n zero bytes to out and returns a pointer to the first of them,
// valid until out grows again.
inline uint8_t* Grow(Bytes& out, size_t n) {
  out.resize(out.size() + n, 0);
  return out.data() + out.size() - n;
}

}  // namespace orvex::vburner

#endif  // ORVEX_VBURNER_BYTES_H_
