// SPDX-License-Identifier: Apache-2.0
// What the two ISO 9660 trees record for each entry, shared by the layout
// (which sizes the structures) and the writers (which fill them), so both
// always agree byte for byte.
//
// An image carries up to two trees over the same directories and files: the
// primary tree (8.3 names, or long names with ISO 9660:1999) and the Joliet
// tree (UCS-2 big-endian names); long-name identifiers are those of
// disc_identifiers.h, cut to fit a record and unique within a directory.
// Files of 4 GiB and more get
// several records (multi-extent), each extent a whole number of sectors of
// at most 4 GiB - 2 KiB.
#ifndef ORVEX_IMAGE_ISO_RECORDS_H_
#define ORVEX_IMAGE_ISO_RECORDS_H_

#include <cstdint>
#include <string>

#include "image/sectors.h"
#include "tree/entries.h"

namespace orvex {

constexpr uint64_t kMaxExtentBytes = 0xFFFFF800;  // 4 GiB - 2 KiB

// Directory records have an odd identifier length or one zero pad byte.
constexpr uint32_t DirectoryRecordLength(size_t identifier_bytes) {
  return static_cast<uint32_t>(33 + identifier_bytes + (identifier_bytes % 2 == 0));
}

// Path table records have an even length.
constexpr uint32_t PathTableRecordLength(size_t identifier_bytes) {
  return static_cast<uint32_t>(8 + identifier_bytes + identifier_bytes % 2);
}

// The 7-byte recording date of a local time `t` whose offset from UTC is
// `zone` quarter hours: years 1900 to 2155 fit the year byte, others are
// clamped.
void PutRecordingDate(uint8_t* p, const SYSTEMTIME& t, int32_t zone);

// How many directory records a file needs: one below 4 GiB, else one per
// extent of at most kMaxExtentBytes.
uint32_t ExtentCount(int64_t size);

// Records for an entry: a subdirectory has one, a file ExtentCount.
uint32_t RecordCount(const TFileEntry& entry);

// One tree's view of the shared directories.
struct TIsoTree {
  bool joliet;
  bool iso1999;                  // primary tree only: long names
  uint32_t TDirEntry::*address;  // sector relative to the tree's directory area
  uint32_t TDirEntry::*size;     // bytes of the directory's extent

  std::string Identifier(const TFileEntry& entry) const;
  std::string Identifier(const TDirEntry& dir) const;
};

TIsoTree PrimaryTree(bool iso1999);
TIsoTree JolietTree();

// The records of one directory extent placed one after another; a record
// never crosses a sector, so one that does not fit starts the next sector.
class TRecordPlacer {
 public:
  // Starts after the "." and ".." records: 34 bytes each without system
  // use fields.
  explicit TRecordPlacer(uint32_t dots = 68) : free_(kSectorSize - dots) {}

  // Places a record of `length` bytes; true when it had to start a new sector.
  bool Place(uint32_t length) {
    if (length > free_) {
      ++sectors_;
      free_ = kSectorSize - length;
      return true;
    }
    free_ -= length;
    return false;
  }
  uint32_t Sectors() const { return sectors_; }

 private:
  uint32_t free_;
  uint32_t sectors_ = 1;
};

}  // namespace orvex

#endif  // ORVEX_IMAGE_ISO_RECORDS_H_
