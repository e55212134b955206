// SPDX-License-Identifier: Apache-2.0
// The layout half of the content record: the options that choose the file
// systems, the sector map that Prepare computes from the tree, and the
// header generation that streams the structures before the file data.
//
// All sectors held here are relative to the start of the image being
// written; the ISO 9660 structures add FirstWritableSector when they write
// an address, the UDF structures SessionStarting_LSA.  A sector is 2048
// bytes; images are padded to whole 64 KiB packets (32 sectors).
#ifndef ORVEX_IMAGE_IMAGE_LAYOUT_H_
#define ORVEX_IMAGE_IMAGE_LAYOUT_H_

#include <atomic>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "image/disc_identifiers.h"
#include "image/header_sink.h"
#include "image/sectors.h"
#include "image/udf_bridge_info.h"
#include "tree/content_tree.h"

namespace orvex {

// A volume label holds at most this many characters.
constexpr size_t kVolumeLabelChars = 31;

// Whether the image carries this entry's data in its own sectors: a file
// that is not empty, not imported from an earlier session and not a
// duplicate sharing another entry's data.  The file data area holds exactly
// these entries, in file table order.
inline bool HasOwnData(const TFileEntry& e) {
  return (e.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && e.FileSize > 0 &&
         e.ReferenceEntry == nullptr && !e.Imported;
}

class TImageLayout : public TContentTree {
 public:
  // --- Options, set by the caller ---------------------------------------------
  std::u16string VolumeLabelW;  // at most 31 units
  std::string VolumeLabel;      // its 8-bit form, at most 31 bytes
  bool JolietFS = false;        // write the Joliet tree
  bool UDFBridge = false;       // write the UDF bridge
  bool ISO9660v1999FS = false;  // long names in the primary tree, plus the 1999 descriptor
  bool RockRidge = false;       // Rock Ridge records in the primary tree (rock_ridge.h)
  bool RockRidgeRational = false;  // with it: owner root, modes readable by all
  std::string BootImage;        // path of the El Torito boot image; empty: not bootable
  int32_t BootImageSize = 0;

  // --- Set by the burn job before header generation ---------------------------
  uint32_t FirstWritableSector = 0;  // where this image starts on the medium
  uint32_t VDImageSize = 0;          // sectors before a burned session (its volume counts them)

  // --- The sector map, set by Prepare -----------------------------------------
  bool ISO9660FS = false;  // always true after Prepare: the ISO 9660 tree is always built
  bool UDF12 = false;      // always false after Prepare
  int32_t Blank = 0;       // zero sectors ending the header (when positive) to reach 150
  uint32_t PathTableWidth = 0;           // bytes of one ISO 9660 path table
  uint32_t PathTableWidthJ = 0;          // bytes of one Joliet path table
  uint32_t PathTableExtentL = 0, path_table_extent_m = 0;
  uint32_t path_table_extent_j_l = 0, path_table_extent_j_m = 0;
  uint32_t FileDirDescriptorExtent = 0;  // first sector of the ISO 9660 directories
  uint32_t FileDirDescriptorWidth = 0;   // their sectors
  uint32_t RockRidgeContinuationExtent = 0;  // after them: the Rock Ridge continuation sectors
  uint32_t RockRidgeContinuationWidth = 0;   // their count (0 without Rock Ridge)
  uint32_t file_and_dir_descriptor_extent_j = 0, file_and_dir_descriptor_width_j = 0;
  uint32_t BootCatalogLocation = 0, BootImageLocation = 0;
  uint32_t FirstDataSector = 0;  // first sector after every structure; file addresses count from here
  uint64_t FilesSize = 0;        // sectors of file data
  std::atomic<uint32_t> TotalImageSize{0};  // sectors of the whole image, a multiple of 32
  UDFBridgeInformation UDFBridgeInfo;
  std::deque<TDiscIdentifiers> DiscIdentifiers;  // the identifiers entries point to


  std::atomic<uint16_t> ComponentStatus{0};  // the phase: TComponentStatus

  // Lays the tree out: orders the path tables and each directory's entries,
  // gives every structure and file its sector, and sets TotalImageSize.
  // Returns FirstDataSector + FilesSize, plus 1 with the UDF bridge (the
  // closing anchor's sector).  Reads no file and writes no byte of the image.
  // Without a root (before the first ClearAll) nothing is laid out: 0, and
  // the layout stays stale.
  uint32_t Prepare();

  // Sectors of the header: every structure before the boot image, the UDF
  // file structures and the file data, and never fewer than 150.
  uint32_t HeaderSectors() const;

  // Generates the header and hands it to `consumer` in image order, in
  // pieces of at most `chunk_sectors` sectors (more only where one structure
  // is longer), so that the whole of it never exists at once: the system
  // area, the volume descriptors, the UDF volume structures, the path
  // tables, the directories, the boot catalog and zero sectors up to sector
  // 150.  True when the consumer took all HeaderSectors() of it.  False,
  // handing on nothing, when the layout is not current (Prepared false);
  // false as well when the consumer refused a piece (nothing more is handed
  // on and generation ends early), or when the structures would not fit the
  // sectors the layout gave them (they are never handed on past them).
  bool GenerateHeader(const THeaderConsumer& consumer, uint32_t chunk_sectors = THeaderSink::kChunkSectors);

  // The same header whole in `header`; empty unless the generation succeeded.
  bool GenerateHeader(std::vector<uint8_t>& header);

  // Takes `path` as the boot image when it can be opened and its size is one
  // of the accepted ones (IsBootImageSize); otherwise clears the boot image
  // and returns false.  An empty path clears it and returns true.  A change
  // makes the layout stale.
  bool SetBootImage(const std::string& path);

  // The tree's ClearAll; also clears the boot image.
  void ClearAll();

 private:
  bool TakeBootImage(const std::string& path);
};

}  // namespace orvex

#endif  // ORVEX_IMAGE_IMAGE_LAYOUT_H_
