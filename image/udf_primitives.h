// SPDX-License-Identifier: Apache-2.0
// The building blocks of every UDF descriptor: the descriptor tag with its
// checksum and CRC, timestamps, OSTA compressed Unicode, entity identifiers
// and character set specifications.
#ifndef ORVEX_IMAGE_UDF_PRIMITIVES_H_
#define ORVEX_IMAGE_UDF_PRIMITIVES_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orvex {

constexpr uint16_t kTagPrimaryVolume = 1;
constexpr uint16_t kTagAnchor = 2;
constexpr uint16_t kTagImplementationUse = 4;
constexpr uint16_t kTagPartition = 5;
constexpr uint16_t kTagLogicalVolume = 6;
constexpr uint16_t kTagUnallocatedSpace = 7;
constexpr uint16_t kTagTerminating = 8;
constexpr uint16_t kTagIntegrity = 9;
constexpr uint16_t kTagFileSet = 256;
constexpr uint16_t kTagFileIdentifier = 257;
constexpr uint16_t kTagFileEntry = 261;

// The 12-byte timestamp of ECMA-167 (1/7.3).
struct timestamp {
  uint16_t typeAndTimezone = 0;
  int16_t year = 0;
  uint8_t month = 0;
  uint8_t day = 0;
  uint8_t hour = 0;
  uint8_t minute = 0;
  uint8_t second = 0;
  uint8_t centiseconds = 0;
  uint8_t hundredsOfMicroseconds = 0;
  uint8_t microseconds = 0;
};

// CRC-16 with polynomial 1021h, initial value 0, most significant bit first.
uint16_t UdfCrc(const uint8_t* bytes, size_t length);

// Writes the 16-byte tag at the start of `descriptor`: version 2, serial
// number 1, the CRC of the `crc_length` bytes that follow the tag, the
// location, and the checksum of the tag's other bytes.
void MakeTag(uint8_t* descriptor, uint16_t identifier, uint16_t crc_length, uint32_t location);

// OSTA compressed Unicode: the compression identifier (8 or 16), then each
// unit's low byte (8) or high and low byte (16).  Returns the bytes written,
// or -1 (writing nothing) for another compression identifier.
int Compress(const char16_t* units, size_t count, int compression, uint8_t* out);

// UTC seconds since 1970 as a timestamp of type 1 with zone offset 0.
timestamp TimestampFromUnixSeconds(int64_t seconds);
timestamp Now();
void PutTimestamp(uint8_t* p, const timestamp& t);

// An entity identifier: flags 0, the identifier text, then the suffix bytes.
void PutRegid(uint8_t* p, std::string_view identifier, std::initializer_list<uint8_t> suffix);

// The implementation identifier every Orvex descriptor carries.
void PutImplementationId(uint8_t* p);

// A character set specification: CS0, "OSTA Compressed Unicode".
void PutCharspec(uint8_t* p);

// A dstring field of `size` bytes: the text, zeros, and its length in the last byte.
void PutDstring(uint8_t* p, size_t size, const uint8_t* text, size_t length);

}  // namespace orvex

#endif  // ORVEX_IMAGE_UDF_PRIMITIVES_H_
