#include "services/import_directory.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/find_data.h"

namespace orvex {
namespace {


// A name the tree's image paths can reach.
bool IsAddressable(const std::u16string& name) {
  return !name.empty() && name.find_first_of(u"\\/") == std::u16string::npos;
}

// A file whose sections have been read so far.
struct TFileSections {
  std::u16string name;
  FILETIME time;
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
  TFrame(pDirEntry d, uint32_t first, uint32_t past_last) : dir(d), sector(first), end(past_last) {}

  pDirEntry dir;
  uint32_t sector;  // the sector being read
  uint32_t end;     // one past its last sector
  size_t offset = 0;           // of the next record in the sector
  int leading_records = 2;     // "." and ".." open the first sector
  std::optional<TFileSections> file;  // a multi-extent file being gathered
};

class TDirectoryWalk {
 public:
  TDirectoryWalk(TContentTree& tree, TSectorReader& source, TNameEncoding encoding)
      : tree_(tree), source_(source), encoding_(encoding) {}

  void Run(uint32_t extent, uint32_t data_length, pDirEntry dest);

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
  void AddSection(TFrame& frame, const TDirectoryRecord& record, std::u16string name);
  void AddFile(pDirEntry dir, const TFileSections& file);

  TContentTree& tree_;
  TSectorReader& source_;
  const TNameEncoding encoding_;
  std::map<uint32_t, uint32_t> claimed_;  // first sector -> one past the last
  std::vector<TFrame> frames_;            // the directories open, innermost last
  std::array<uint8_t, kSectorSize> sector_{};
  std::optional<uint32_t> loaded_;        // the sector sector_ holds
};

std::optional<TDirectoryWalk::TRange> TDirectoryWalk::Claim(uint32_t extent,
                                                            uint32_t data_length) {
  const uint64_t end =
      std::min<uint64_t>(uint64_t{extent} + Sectors(data_length), source_.SectorCount());
  if (end <= extent) return TRange{extent, extent};  // nothing of it can be read
  auto after = claimed_.upper_bound(extent);
  if (after != claimed_.begin() && std::prev(after)->second > extent) return std::nullopt;
  TRange range{extent, static_cast<uint32_t>(end)};
  if (after != claimed_.end()) range.end = std::min(range.end, after->first);
  claimed_.emplace(range.first, range.end);
  return range;
}

void TDirectoryWalk::Run(uint32_t extent, uint32_t data_length, pDirEntry dest) {
  // Nothing is claimed yet, so the root always gets its range.
  const std::optional<TRange> root = Claim(extent, data_length);
  frames_.emplace_back(dest, root->first, root->end);
  while (!frames_.empty()) {
    TFrame& frame = frames_.back();
    if (!Load(frame)) {
      frames_.pop_back();  // a file still gathering sections is incomplete: dropped
      continue;
    }
    const size_t offset = frame.offset;
    const uint8_t length = sector_[offset];
    if (offset > kLastRecordOffset || length == 0 || offset + length > kSectorSize) {
      // The sector holds no more records.
      ++frame.sector;
      frame.offset = 0;
      frame.leading_records = 0;
      continue;
    }
    frame.offset += length;
    const auto record = ReadDirectoryRecord(std::span(sector_).subspan(offset, length));
    if (record) ReadRecord(frames_.size() - 1, *record);
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
  if (!record.IsDirectory()) {
    AddSection(frame, record, std::move(name));
    return;
  }
  frame.file.reset();  // the sections of a file follow one another
  if (!IsAddressable(name)) return;
  const std::optional<TRange> range = Claim(record.extent, record.data_length);
  if (!range) return;
  WIN32_FIND_DATAW fd;
  fd.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
  fd.ftLastWriteTime = RecordingTime(record);
  SetFindFileSize(fd, record.data_length);
  if (!SetFindName(fd, name)) return;
  const pDirEntry dir = tree_.MakeDir(frame.dir, fd);
  if (dir == nullptr) return;
  // A directory the import created records where its extent lies (one it
  // merged into keeps what it had); its data is never copied, so this is
  // for listing only.
  if (const pFileEntry entry = frame.dir->Names.Find(name); entry->Address == 0 && entry->FileSize == record.data_length) {
    entry->Address = record.extent;
  }
  // `frame` dies with the push; the child is read first, then the rest of
  // this directory.
  frames_.emplace_back(dir, range->first, range->end);
}

void TDirectoryWalk::AddSection(TFrame& frame, const TDirectoryRecord& record,
                                std::u16string name) {
  if (frame.file && !frame.file->ContinuesWith(name, record.extent)) frame.file.reset();
  if (!frame.file) {
    frame.file = TFileSections{std::move(name), RecordingTime(record), record.extent};
  }
  frame.file->Add(record.extent, record.data_length);
  if ((record.flags & kRecordMultiExtent) != 0) return;  // more sections follow
  AddFile(frame.dir, *frame.file);
  frame.file.reset();
}

void TDirectoryWalk::AddFile(pDirEntry dir, const TFileSections& file) {
  if (!IsAddressable(file.name)) return;
  // Data must lie within the source; address 0 would make the entry look
  // like one to be written from a source file, which it has not got.
  if (file.size > 0 &&
      (file.extent == 0 || uint64_t{file.extent} + Sectors(file.size) > source_.SectorCount())) {
    return;
  }
  WIN32_FIND_DATAW fd;
  fd.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
  fd.ftLastWriteTime = file.time;
  SetFindFileSize(fd, file.size);
  if (!SetFindName(fd, file.name)) return;
  tree_.AddEntry(dir, fd, true, file.extent, nullptr);
}

}  // namespace

void ImportDirectory(TContentTree& tree, TSectorReader& source, uint32_t extent,
                     uint32_t data_length, pDirEntry dest, TNameEncoding encoding) {
  TDirectoryWalk(tree, source, encoding).Run(extent, data_length, dest);
}

}  // namespace orvex
