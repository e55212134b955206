// SPDX-License-Identifier: Apache-2.0
// The host framework's abstract stream: a sequence of bytes that can be read,
// written and positioned.  Concrete streams override the three primitives;
// the 64-bit seek forwards to the 32-bit one unless a stream overrides it.
// A stream that overrides one Seek brings the other in with `using`.
#ifndef ORVEX_PLATFORM_STREAM_H_
#define ORVEX_PLATFORM_STREAM_H_

#include <cstdint>

#include "platform/object.h"

namespace orvex {

// Where a 64-bit seek's offset counts from; the 32-bit form takes the same
// values as a plain number.  Scoped, so that Seek(n, TSeekOrigin::...) always
// picks the 64-bit form.
enum class TSeekOrigin : uint16_t {
  soBeginning = 0,
  soCurrent = 1,
  soEnd = 2,
};

class TStream : public TObject {
 public:
  // Copies up to Count bytes into Buffer; returns how many were read.
  virtual int32_t Read(void* Buffer, int32_t Count) = 0;
  // Takes up to Count bytes from Buffer; returns how many were written.
  virtual int32_t Write(const void* Buffer, int32_t Count) = 0;
  // Moves the position; returns the new position.
  virtual int32_t Seek(int32_t Offset, uint16_t Origin) = 0;
  // The 64-bit form: the offset is cut to 32 bits and passed on.
  virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) {
    return Seek(static_cast<int32_t>(Offset), static_cast<uint16_t>(Origin));
  }
};

}  // namespace orvex

#endif  // ORVEX_PLATFORM_STREAM_H_
