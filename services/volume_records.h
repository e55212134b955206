// SPDX-License-Identifier: Apache-2.0
// The on-disc records an import reads (ECMA-119, with the Joliet extension):
// volume descriptors and directory records, each decoded only from bytes
// that are known to belong to it.
#ifndef ORVEX_SERVICES_VOLUME_RECORDS_H_
#define ORVEX_SERVICES_VOLUME_RECORDS_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/file_time.h"

namespace orvex {

// Volume descriptor fields (byte offsets in its sector).
constexpr size_t kDescriptorType = 0;          // 1 primary, 2 supplementary, 255 terminator
constexpr size_t kDescriptorStandardId = 1;    // "CD001", 5 bytes
constexpr size_t kDescriptorVolumeId = 40;     // the volume identifier, 32 bytes
constexpr size_t kVolumeIdentifierBytes = 32;
constexpr size_t kDescriptorEscapes = 88;      // character set escape sequences, 32 bytes
constexpr size_t kDescriptorRootRecord = 156;  // the root directory record, 34 bytes
constexpr size_t kRootRecordBytes = 34;

constexpr uint8_t kPrimaryDescriptor = 1;
constexpr uint8_t kSupplementaryDescriptor = 2;
constexpr uint8_t kDescriptorSetTerminator = 255;

// Directory record flags.
constexpr uint8_t kRecordDirectory = 0x02;
constexpr uint8_t kRecordMultiExtent = 0x80;  // the file continues in the next record

// Directory records never start at this offset of a sector or later.
constexpr size_t kLastRecordOffset = 2014;

// How a tree's identifiers are written.
enum class TNameEncoding {
  Ucs2,       // Joliet: UCS-2 big-endian
  Primary,    // the primary tree: 8-bit, "NAME.EXT;1", "NAME.;1" for a name without extension
  EightBit,   // another supplementary tree (ISO 9660:1999): 8-bit
};

struct TDirectoryRecord {
  uint8_t length = 0;        // bytes of the whole record
  uint32_t extent = 0;       // first sector of the data
  uint32_t data_length = 0;  // bytes of data
  uint8_t recorded[6] = {};  // years since 1900, month, day, hour, minute, second
  uint8_t flags = 0;
  std::span<const uint8_t> identifier;  // within the bytes the record was read from
  // What follows the identifier (and the byte that pads an even-length one)
  // up to the record's end: the system use area, where extensions such as
  // Rock Ridge keep their entries.  Empty when nothing follows.
  std::span<const uint8_t> system_use;

  bool IsDirectory() const { return (flags & kRecordDirectory) != 0; }
  // "." and "..": the identifiers 00h and 01h.
  bool IsSelfOrParent() const { return identifier.size() == 1 && identifier[0] <= 1; }
};

// The record at the start of `bytes`, which run to the end of what holds it
// (its sector, or the root record field of a descriptor).  Empty when the
// length byte is 0 (no more records), when the record does not fit `bytes`,
// or when its identifier does not fit the record.
std::optional<TDirectoryRecord> ReadDirectoryRecord(std::span<const uint8_t> bytes);

// Whether a sector is a volume descriptor ("CD001"), and of which type.
bool IsVolumeDescriptor(std::span<const uint8_t> sector);

// A supplementary descriptor whose escape sequences name UCS-2 (%/@, %/C or
// %/E): a Joliet volume.
bool IsJolietDescriptor(std::span<const uint8_t> sector);

// An identifier as a long name: cut at the version separator ";"; a
// primary-tree name also loses the "." that ends a name without extension.
// A zero character stays (no name may hold one: the import leaves such
// names out).  8-bit text is UTF-8, bytes outside it kept
// as U+DC80..U+DCFF.
std::u16string DecodeIdentifier(std::span<const uint8_t> identifier, TNameEncoding encoding);

// The recording time taken as UTC; 0 (1601-01-01) when its fields name no
// valid time.
FILETIME RecordingTime(const TDirectoryRecord& record);

}  // namespace orvex

#endif  // ORVEX_SERVICES_VOLUME_RECORDS_H_
