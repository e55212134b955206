// SPDX-License-Identifier: Apache-2.0
// The UDF bridge's file structures, produced a few sectors at a time in the
// order the layout allocated them: for each directory, depth first, its file
// entry, its directory data (the file identifier descriptors, packed, each
// possibly crossing into the next sector), then the file entries of its list
// with each subdirectory entered where it stands.  Too many to hold in
// memory at once for large trees, so they are made while the image streams.
#ifndef ORVEX_IMAGE_UDF_FILE_STREAM_H_
#define ORVEX_IMAGE_UDF_FILE_STREAM_H_

#include <cstdint>
#include <vector>

#include "image/image_layout.h"

namespace orvex {

class TUdfFileStream {
 public:
  // Starts at the root of a prepared layout.  The layout must not change
  // while the stream is in use.
  explicit TUdfFileStream(const TImageLayout& layout);

  // Fills the next `sectors` sectors into `buffer`, continuing where the
  // previous call stopped; sectors past the end of the structures are zero.
  // False, doing nothing, once every structure has been produced.
  bool Produce(uint8_t* buffer, uint32_t sectors);

  bool Exhausted() const { return phase_ == TPhase::kDone; }

 private:
  enum class TPhase { kDirectoryEntry, kDirectoryData, kList, kDone };

  void NextSector(uint8_t* sector);
  // Leaves every list that has been walked to its end, back to the parent's
  // list; the stream is done when the root's list is.
  void SkipFinishedLists();
  void FillDirectoryData(uint8_t* sector);
  // Makes the next descriptor of the current directory in fid_; false when
  // none is left.
  bool MakeNextIdentifier();
  void PutFileEntry(uint8_t* sector, const TFileEntry* file, const TDirEntry* dir);

  const TImageLayout& layout_;
  const UDFBridgeInformation& udf_;
  TPhase phase_ = TPhase::kDirectoryEntry;
  // The directories being walked; each level's next list entry to visit.
  std::vector<std::pair<const TDirEntry*, const TFileEntry*>> stack_;
  uint64_t unique_id_ = 16;

  // The directory data being written: the next entry to describe (after the
  // parent's descriptor), the sector reached, and a descriptor that did not
  // fit the previous sector.
  const TFileEntry* fid_next_ = nullptr;
  bool parent_fid_done_ = false;
  uint32_t data_sector_ = 0;
  uint8_t fid_[296] = {};
  uint32_t fid_size_ = 0;
  uint32_t fid_copied_ = 0;
};

// The closing anchor, at the image's last sector, into a 2048-byte place.
void PutClosingAnchor(const TImageLayout& layout, uint8_t* place);

}  // namespace orvex

#endif  // ORVEX_IMAGE_UDF_FILE_STREAM_H_
