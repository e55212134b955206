// SPDX-License-Identifier: Apache-2.0
#include "services/import_directory.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/find_data.h"
#include "platform/text_conversion.h"

namespace orvex {
namespace {


// A name the tree's image paths can reach, and that names no directory
// but its own entry: never ".", ".." or nothing, never a separator or NUL.
bool IsAddressable(const std::u16string& name) {
  return !name.empty() && name != u"." && name != u".." &&
         name.find_first_of(std::u16string_view(u"\\/\0", 3)) == std::u16string::npos;
}

// A file whose sections have been read so far.
struct TFileSections {
  std::u16string name;
  FILETIME time;
  std::optional<TPosixAttributes> posix;  // of the first section
  uint32_t extent = 0;       // of the first section
  uint64_t size = 0;         // of all sections so far
  uint64_t next_extent = 0;  // where a following section must start
  bool whole_sectors = true; // the sections so far end on a sector boundary

  bool ContinuesWith(const std::u16string& part_name, uint32_t part_extent) const {
    return whole_sectors && part_name == name && part_extent == next_extent;
  }
  void Add(uint32_t part_extent, uint32_t part_length) {
    size += part_length;
    next_extent = part_extent + Sectors(part_length);
    whole_sectors = part_length % kSectorSize == 0;
  }
};

// One directory being walked.
struct TFrame {
  TFrame(pDirEntry d, size_t w, uint32_t first, uint32_t past_last)
      : dir(d), walked(w), sector(first), end(past_last) {}

  pDirEntry dir;
  size_t walked;    // its place in the walk's list of directories
  uint32_t sector;  // the sector being read
  uint32_t end;     // one past its last sector
  size_t offset = 0;           // of the next record in the sector
  int leading_records = 2;     // "." and ".." open the first sector
  std::optional<TFileSections> file;  // a multi-extent file being gathered
};

class TDirectoryWalk {
 public:
  TDirectoryWalk(TContentTree& tree, TSectorReader& source, TNameEncoding encoding,
                 TImportReport& report, const TRockRidgeReading* rock)
      : tree_(tree), source_(source), encoding_(encoding), report_(report), rock_(rock) {}

  void Run(uint32_t extent, uint32_t data_length, pDirEntry dest);
  std::vector<TImportedDirectory>& Walked() { return walked_; }

 private:
  struct TRange {
    uint32_t first, end;
  };

  // The sectors of a directory at `extent`, claimed for it: cut at the end of
  // the source and before the first sector claimed earlier.  Empty when
  // `extent` itself was claimed earlier.
  std::optional<TRange> Claim(uint32_t extent, uint32_t data_length);
  // True while `frame` has a sector loaded; advances past unreadable ones.
  bool Load(TFrame& frame);
  void ReadRecord(size_t frame_index, const TDirectoryRecord& record);
  // The record's Rock Ridge entries; its NM name goes to `name` where the
  // walk takes names from there.
  TRockRidgeEntry ReadRockRidge(const TDirectoryRecord& record, std::u16string& name);
  // The length its "." record gives the directory at `extent`; 0 when it
  // cannot be read.
  uint32_t DirectoryLength(uint32_t extent);
  void AddSection(TFrame& frame, const TDirectoryRecord& record, std::u16string name,
                  std::optional<TPosixAttributes> posix);
  void AddFile(size_t walked, const TFileSections& file);
  // Counts what the tree made of an entry; true when it is in the tree (a
  // directory merged into one of the same name is).
  bool Count(TAddOutcome outcome, bool directory);

  TContentTree& tree_;
  TSectorReader& source_;
  const TNameEncoding encoding_;
  TImportReport& report_;
  const TRockRidgeReading* rock_;
  std::map<uint32_t, uint32_t> claimed_;  // first sector -> one past the last
  std::vector<TFrame> frames_;            // the directories open, innermost last
  std::vector<TImportedDirectory> walked_;  // every directory entered
  std::array<uint8_t, kSectorSize> sector_{};
  std::optional<uint32_t> loaded_;        // the sector sector_ holds
};

std::optional<TDirectoryWalk::TRange> TDirectoryWalk::Claim(uint32_t extent,
                                                            uint32_t data_length) {
  const uint64_t wanted = uint64_t{extent} + Sectors(data_length);
  const uint64_t end = std::min<uint64_t>(wanted, source_.SectorCount());
  if (end < wanted) ++report_.damaged;  // the directory runs past the end of the source
  if (end <= extent) return TRange{extent, extent};  // nothing of it can be read
  auto after = claimed_.upper_bound(extent);
  if (after != claimed_.begin() && std::prev(after)->second > extent) {
    ++report_.damaged;  // it lies in a directory read before
    return std::nullopt;
  }
  TRange range{extent, static_cast<uint32_t>(end)};
  if (after != claimed_.end() && after->first < range.end) {
    ++report_.damaged;  // it runs into a directory read before
    range.end = after->first;
  }
  claimed_.emplace(range.first, range.end);
  return range;
}

void TDirectoryWalk::Run(uint32_t extent, uint32_t data_length, pDirEntry dest) {
  // Nothing is claimed yet, so the root always gets its range.
  const std::optional<TRange> root = Claim(extent, data_length);
  walked_.push_back({dest, 0, nullptr, {}});
  frames_.emplace_back(dest, 0, root->first, root->end);
  while (!frames_.empty()) {
    TFrame& frame = frames_.back();
    if (!Load(frame)) {
      if (frame.file) ++report_.damaged;  // a file still gathering sections is incomplete: dropped
      frames_.pop_back();
      continue;
    }
    const size_t offset = frame.offset;
    const uint8_t length = offset < kSectorSize ? sector_[offset] : 0;
    if (offset > kLastRecordOffset || length == 0 || offset + length > kSectorSize) {
      // The sector holds no more records; anything but zeros after the last
      // one is a record that cannot be read.
      if (length != 0) ++report_.damaged;
      ++frame.sector;
      frame.offset = 0;
      frame.leading_records = 0;
      continue;
    }
    frame.offset += length;
    const auto record = ReadDirectoryRecord(std::span(sector_).subspan(offset, length));
    if (record) {
      ReadRecord(frames_.size() - 1, *record);
    } else {
      ++report_.damaged;
    }
  }
}

bool TDirectoryWalk::Load(TFrame& frame) {
  for (; frame.sector < frame.end; ++frame.sector, frame.offset = 0, frame.leading_records = 0) {
    if (loaded_ == frame.sector) return true;
    loaded_.reset();
    if (source_.ReadSector(frame.sector, sector_.data())) {
      loaded_ = frame.sector;
      return true;
    }
    ++report_.damaged;
  }
  return false;
}

void TDirectoryWalk::ReadRecord(size_t frame_index, const TDirectoryRecord& record) {
  TFrame& frame = frames_[frame_index];
  if (frame.leading_records > 0) {
    --frame.leading_records;
    return;
  }
  if (record.IsSelfOrParent()) return;
  std::u16string name = DecodeIdentifier(record.identifier, encoding_);
  TRockRidgeEntry rock = ReadRockRidge(record, name);
  if (rock.relocated) return;  // read where the record that links to it stands
  std::optional<TPosixAttributes> posix = std::move(rock.posix);
  TDirectoryRecord directory = record;
  if (rock.child_link) {
    directory.extent = *rock.child_link;
    directory.data_length = DirectoryLength(directory.extent);
    directory.flags |= kRecordDirectory;
  }
  if (!directory.IsDirectory()) {
    AddSection(frame, record, std::move(name), std::move(posix));
    return;
  }
  if (frame.file) ++report_.damaged;  // the sections of a file follow one another
  frame.file.reset();
  if (!IsAddressable(name)) {
    ++report_.bad_names;
    return;
  }
  const std::optional<TRange> range = Claim(directory.extent, directory.data_length);
  if (!range) return;
  WIN32_FIND_DATAW fd;
  fd.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
  fd.ftLastWriteTime = RecordingTime(record);
  SetFindName(fd, name);  // an identifier always fits
  const TContentTree::TMakeDirResult made = tree_.MakeDirEntry(frame.dir, fd);
  if (!Count(made.outcome, true)) return;
  // A directory the import created records where its records lie (one it
  // merged into keeps what it had), for listings: its data is never copied.
  if (made.outcome == TAddOutcome::kAdded) made.dir->ImportedExtent = directory.extent;
  const pFileEntry entry =
      made.outcome == TAddOutcome::kAdded ? frame.dir->Names.Find(made.dir->LongName) : nullptr;
  if (entry != nullptr) entry->Posix = std::move(posix);
  walked_.push_back({made.dir, frame.walked, entry, {}});
  // `frame` dies with the push; the child is read first, then the rest of
  // this directory.
  frames_.emplace_back(made.dir, walked_.size() - 1, range->first, range->end);
}

uint32_t TDirectoryWalk::DirectoryLength(uint32_t extent) {
  std::array<uint8_t, kSectorSize> first{};
  std::optional<TDirectoryRecord> self;
  if (extent < source_.SectorCount() && source_.ReadSector(extent, first.data())) self = ReadDirectoryRecord(first);
  if (!self) ++report_.damaged;
  return self ? self->data_length : 0;
}

TRockRidgeEntry TDirectoryWalk::ReadRockRidge(const TDirectoryRecord& record, std::u16string& name) {
  if (rock_ == nullptr) return {};
  TRockRidgeEntry decoded = DecodeRockRidge(source_, record.system_use, rock_->volume);
  if (decoded.damaged) ++report_.rock_damaged;
  if (rock_->names && decoded.name) {
    std::u16string exact = Utf8ToUtf16(*decoded.name);
    if (IsAddressable(exact)) name = std::move(exact);
  }
  if (rock_->names && decoded.posix && decoded.posix->Name.empty()) decoded.posix->Name = Utf16ToUtf8(name);
  return decoded;
}

void TDirectoryWalk::AddSection(TFrame& frame, const TDirectoryRecord& record,
                                std::u16string name, std::optional<TPosixAttributes> posix) {
  if (frame.file && !frame.file->ContinuesWith(name, record.extent)) {
    ++report_.damaged;  // sections that do not join up
    frame.file.reset();
  }
  if (!frame.file) {
    frame.file = TFileSections{std::move(name), RecordingTime(record), std::move(posix), record.extent};
  }
  frame.file->Add(record.extent, record.data_length);
  if ((record.flags & kRecordMultiExtent) != 0) return;  // more sections follow
  AddFile(frame.walked, *frame.file);
  frame.file.reset();
}

void TDirectoryWalk::AddFile(size_t walked, const TFileSections& file) {
  if (!IsAddressable(file.name)) {
    ++report_.bad_names;
    return;
  }
  // Data must lie within the source; address 0 would make the entry look
  // like one to be written from a source file, which it has not got.
  if (file.size > 0 &&
      (file.extent == 0 || uint64_t{file.extent} + Sectors(file.size) > source_.SectorCount())) {
    ++report_.damaged;
    return;
  }
  WIN32_FIND_DATAW fd;
  fd.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
  fd.ftLastWriteTime = file.time;
  SetFindFileSize(fd, file.size);
  SetFindName(fd, file.name);  // an identifier always fits
  const TContentTree::TAddResult added =
      tree_.AddFileEntry(walked_[walked].dir, fd, true, file.extent, nullptr);
  if (!Count(added.outcome, false)) return;
  added.entry->Posix = file.posix;
  walked_[walked].files.push_back(added.entry);
}

bool TDirectoryWalk::Count(TAddOutcome outcome, bool directory) {
  switch (outcome) {
    case TAddOutcome::kExisting:
      if (!directory) break;
      [[fallthrough]];
    case TAddOutcome::kAdded:
    case TAddOutcome::kReplaced:
      ++report_.entries;
      return true;
    case TAddOutcome::kSkipped:
      return false;  // the caller's own wish
    case TAddOutcome::kFull:
      report_.tables_full = true;
      break;
    default:
      break;
  }
  ++report_.not_added;
  return false;
}

}  // namespace

void ImportDirectory(TContentTree& tree, TSectorReader& source, uint32_t extent,
                     uint32_t data_length, pDirEntry dest, TNameEncoding encoding,
                     TImportReport& report, std::vector<TImportedDirectory>* walked,
                     const TRockRidgeReading* rock) {
  TDirectoryWalk walk(tree, source, encoding, report, rock);
  walk.Run(extent, data_length, dest);
  if (walked != nullptr) *walked = std::move(walk.Walked());
}

}  // namespace orvex
