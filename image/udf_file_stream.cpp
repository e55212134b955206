// SPDX-License-Identifier: Apache-2.0
#include "image/udf_file_stream.h"

#include <algorithm>
#include <cstring>

#include "image/disc_identifiers.h"
#include "image/udf_layout.h"
#include "image/udf_primitives.h"
#include "image/udf_volume.h"
#include "platform/byte_order.h"

namespace orvex {
namespace {

constexpr uint8_t kCharacteristicDirectory = 0x02;
constexpr uint8_t kCharacteristicParent = 0x08 | kCharacteristicDirectory;
constexpr uint8_t kFileTypeDirectory = 4;
constexpr uint8_t kFileTypeFile = 5;
constexpr uint32_t kAllocationArea = 1872;          // bytes 176 to the sector's end
constexpr uint64_t kMaxShortAdBytes = 0x3FFFF800;   // 2^30 - 2 KiB, whole sectors

}  // namespace

TUdfFileStream::TUdfFileStream(const TImageLayout& layout)
    : layout_(layout), udf_(layout.UDFBridgeInfo) {
  stack_.emplace_back(layout.RootDir, nullptr);
}

bool TUdfFileStream::Produce(uint8_t* buffer, uint32_t sectors) {
  if (phase_ == TPhase::kDone) return false;
  for (uint32_t i = 0; i < sectors; ++i) {
    uint8_t* sector = buffer + i * kSectorSize;
    std::memset(sector, 0, kSectorSize);
    if (phase_ != TPhase::kDone) NextSector(sector);
    SkipFinishedLists();
  }
  return true;
}

void TUdfFileStream::SkipFinishedLists() {
  while (phase_ == TPhase::kList && stack_.back().second == nullptr) {
    stack_.pop_back();
    if (stack_.empty()) phase_ = TPhase::kDone;
  }
}

void TUdfFileStream::NextSector(uint8_t* sector) {
  for (;;) {
    switch (phase_) {
      case TPhase::kDirectoryEntry: {
        PutFileEntry(sector, nullptr, stack_.back().first);
        phase_ = TPhase::kDirectoryData;
        fid_next_ = stack_.back().first->Files;
        parent_fid_done_ = false;
        data_sector_ = 0;
        fid_size_ = fid_copied_ = 0;
        return;
      }
      case TPhase::kDirectoryData:
        FillDirectoryData(sector);
        return;
      case TPhase::kList: {
        SkipFinishedLists();
        if (phase_ == TPhase::kDone) return;
        auto& next = stack_.back().second;
        const TFileEntry* entry = next;
        next = entry->NextFile;
        if (entry->DirRecord != nullptr) {
          stack_.emplace_back(entry->DirRecord, nullptr);
          phase_ = TPhase::kDirectoryEntry;
          continue;
        }
        PutFileEntry(sector, entry, nullptr);
        return;
      }
      case TPhase::kDone:
        return;
    }
  }
}

void TUdfFileStream::FillDirectoryData(uint8_t* sector) {
  uint32_t offset = 0;
  for (;;) {
    if (fid_copied_ == fid_size_ && !MakeNextIdentifier()) {
      // The last descriptor is written; the rest of its sector stays zero.
      const TDirEntry* dir = stack_.back().first;
      stack_.back().second = dir->Files;
      phase_ = TPhase::kList;
      return;
    }
    const uint32_t part = std::min(fid_size_ - fid_copied_, kSectorSize - offset);
    std::memcpy(sector + offset, fid_ + fid_copied_, part);
    fid_copied_ += part;
    offset += part;
    if (offset == kSectorSize) break;
  }
  ++data_sector_;
  // A directory whose descriptors end exactly on this sector's end needs no
  // further data sector.
  if (fid_copied_ == fid_size_ && fid_next_ == nullptr && parent_fid_done_) {
    stack_.back().second = stack_.back().first->Files;
    phase_ = TPhase::kList;
  }
}

bool TUdfFileStream::MakeNextIdentifier() {
  const TDirEntry* dir = stack_.back().first;
  const TFileEntry* entry = nullptr;
  if (parent_fid_done_) {
    if (fid_next_ == nullptr) return false;
    entry = fid_next_;
    fid_next_ = entry->NextFile;
  }

  uint8_t characteristics;
  uint32_t target;
  std::u16string_view name;
  if (entry == nullptr) {
    parent_fid_done_ = true;
    characteristics = kCharacteristicParent;
    target = dir->Parent->UDFDirInfo.DirICB_LSOffsetWRTSession;
  } else if (entry->DirRecord != nullptr) {
    characteristics = kCharacteristicDirectory;
    target = entry->DirRecord->UDFDirInfo.DirICB_LSOffsetWRTSession;
  } else {
    characteristics = 0;
    target = entry->UDFFileInfo.FileICB_LSOffsetWRTSession;
  }
  if (entry != nullptr) name = UdfIdentifier(*entry);

  std::memset(fid_, 0, sizeof fid_);
  fid_size_ = FileIdentifierSize(name.size());
  PutLE16(fid_ + 16, 1);
  fid_[18] = characteristics;
  PutLE32(fid_ + 20, kSectorSize);
  PutLE32(fid_ + 24, udf_.Block(target));
  const int length = name.empty() ? 0 : Compress(name.data(), name.size(), 16, fid_ + 38);
  fid_[19] = static_cast<uint8_t>(length);
  // The tag names the block the descriptor starts in.
  const uint32_t block = udf_.Block(dir->UDFDirInfo.DirData_LSOffsetWRTSession + data_sector_);
  MakeTag(fid_, kTagFileIdentifier, static_cast<uint16_t>(fid_size_ - 16), block);
  fid_copied_ = 0;
  return true;
}

void TUdfFileStream::PutFileEntry(uint8_t* p, const TFileEntry* file, const TDirEntry* dir) {
  const uint64_t length = dir != nullptr ? dir->UDFDirInfo.InformationLength
                                         : static_cast<uint64_t>(file->FileSize);
  const uint32_t location = dir != nullptr ? dir->UDFDirInfo.DirICB_LSOffsetWRTSession
                                           : file->UDFFileInfo.FileICB_LSOffsetWRTSession;
  PutLE16(p + 20, 4);  // strategy type 4
  PutLE16(p + 24, 1);  // one entry
  p[27] = dir != nullptr ? kFileTypeDirectory : kFileTypeFile;
  PutLE32(p + 36, 0xFFFFFFFF);
  PutLE32(p + 40, 0xFFFFFFFF);
  PutLE32(p + 44, 0x14A5);  // read and execute for everyone
  PutLE16(p + 48, dir != nullptr ? dir->UDFDirInfo.FileLinkCount : 1);
  PutLE64(p + 56, length);
  PutLE64(p + 64, Sectors(length));
  PutTimestamp(p + 72, udf_.UDFTimeStamp);
  PutTimestamp(p + 84, udf_.UDFTimeStamp);
  PutTimestamp(p + 96, udf_.UDFTimeStamp);
  PutLE32(p + 108, 1);
  PutImplementationId(p + 128);
  PutLE64(p + 160, dir == layout_.RootDir ? 0 : unique_id_++);
  PutLE32(p + 172, kAllocationArea);

  // Short allocation descriptors: one below 1 GiB, else one per whole-sector
  // piece of at most 2^30 - 2 KiB, as the length field has 30 bits.
  uint32_t first_block = 0;
  if (dir != nullptr) {
    first_block = udf_.Block(dir->UDFDirInfo.DirData_LSOffsetWRTSession);
  } else if (length != 0) {
    first_block = file->Imported ? file->Address - udf_.PartitionStarting_LSA
                                 : udf_.Block(udf_.ISODataPortionStarting_LSAWRTSession + file->Address);
  }
  uint8_t* ad = p + 176;
  if (length < (uint64_t{1} << 30)) {
    PutLE32(ad, static_cast<uint32_t>(length));
    PutLE32(ad + 4, length == 0 ? 0 : first_block);
  } else {
    for (uint64_t done = 0; done < length && ad + 8 <= p + kSectorSize; ad += 8) {
      const uint64_t piece = std::min(length - done, kMaxShortAdBytes);
      PutLE32(ad, static_cast<uint32_t>(piece));
      PutLE32(ad + 4, first_block + static_cast<uint32_t>(done / kSectorSize));
      done += piece;
    }
  }
  MakeTag(p, kTagFileEntry, kSectorSize - 16, udf_.Block(location));
}

void PutClosingAnchor(const TImageLayout& layout, uint8_t* place) {
  PutUdfAnchor(layout, layout.UDFBridgeInfo.LastAnchorVolumeDescriptorPointer_LSAWRTSession, place);
}

}  // namespace orvex
