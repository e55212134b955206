// SPDX-License-Identifier: Apache-2.0
// A write-only stream that computes the MD5 digest (RFC 1321) of everything
// written to it.  Verification and the smart-reference search pour file
// contents into it and compare the digest texts it returns.
//
// Whole 64-byte blocks of a write are compressed straight from the caller's
// buffer; only the bytes that complete or start a block pass through Buffer.
// The observable state (BlockCount, BufCount, the packing of Buffer, the
// chaining words) is the same as if every byte went through AddByte.
#ifndef ORVEX_SERVICES_MD5_STREAM_H_
#define ORVEX_SERVICES_MD5_STREAM_H_

#include <cstdint>
#include <string>

#include "platform/stream.h"

namespace orvex {

class TMD5Stream : public TStream {
 public:
  TMD5Stream() { Reset(); }

  using TStream::Seek;

  // Nothing can be read back: returns 0 and leaves `buffer` untouched.
  int32_t Read(void* buffer, int32_t count) override;
  // Feeds `count` bytes (nothing when count <= 0) and returns count.
  int32_t Write(const void* buffer, int32_t count) override;
  // Ignores both arguments; returns the low 32 bits of the number of bytes
  // fed since the last reset.
  int32_t Seek(int32_t offset, uint16_t origin) override;

  // Packs one byte into the current block; a full block is transformed.
  virtual void AddByte(uint8_t b);
  // Pads and ends the message, stores the 16 digest bytes, then resets.
  virtual void Finish(uint8_t (&digest)[16]);
  // Finish, as 32 upper-case hexadecimal digits.  Ends the message: reading
  // it twice without writing gives the digest of the empty message.
  virtual std::string DigestString();
  // The initial state: no bytes fed, the RFC's chaining words.
  virtual void Reset();
  // Compresses Buffer into the chaining words; counts the block and empties
  // Buffer.
  virtual void Transform();

  int64_t BlockCount = 0;  // complete 64-byte blocks processed
  uint32_t BufCount = 0;   // bytes in the current block, 0 to 63 between calls
  uint32_t Buffer[16] = {};  // the current block, byte i in bits 8*(i%4).. of word i/4
  uint32_t A = 0, B = 0, C = 0, D = 0;  // the chaining state

 private:
  // Packs a byte as AddByte does, without the virtual call.
  void Pack(uint8_t b);
};

}  // namespace orvex

#endif  // ORVEX_SERVICES_MD5_STREAM_H_
