// SPDX-License-Identifier: Apache-2.0
// The content-tree methods and queries of the component.  The 8-bit forms
// convert their arguments into buffers of fixed size (UTF-16 units,
// terminator included) and fail when a text does not fit.
#include "component/orvex.h"

#include "platform/text_conversion.h"
#include "tree/tree_walk.h"

namespace orvex {
namespace {

bool Convert(const std::string& text, size_t units, std::u16string& out) {
  return Utf8ToUtf16Bounded(text, units, out);
}

}  // namespace

pDirEntry TOrvex::CreateDir(const std::string& DestPath, const std::string& DirName) {
  std::u16string dest, name;
  if (!Convert(DestPath, 2048, dest) || !Convert(DirName, 255, name)) return nullptr;
  return CreateDirW(dest, name);
}

// Directory creation consults whatever handlers the latest insertion copied;
// it does not copy the current ones itself.
pDirEntry TOrvex::CreateDirW(const std::u16string& DestPath, const std::u16string& DirName) {
  if (!ReadyForJob()) return nullptr;
  return CDFiles.CreateDirW(DestPath, DirName);
}

pFileEntry TOrvex::InsertFile(const std::string& DestPath, const std::string& FileName) {
  if (!ReadyToInsert()) return nullptr;
  std::u16string dest, file;
  if (!Convert(DestPath, 512, dest) || !Convert(FileName, 512, file)) return nullptr;
  return CDFiles.InsertFileW(dest, file, false);
}

pFileEntry TOrvex::InsertFileW(const std::u16string& DestPath, const std::u16string& FileName) {
  if (!ReadyToInsert()) return nullptr;
  return CDFiles.InsertFileW(DestPath, FileName, true);
}

pFileEntry TOrvex::InsertFileWithName(const std::string& DestPath, const std::string& FileName,
                                      const std::string& LongNameOnDisc,
                                      const std::string& ShortNameOnDisc) {
  if (!ReadyToInsert()) return nullptr;
  std::u16string dest, file, long_name, short_name;
  if (!Convert(DestPath, 2048, dest) || !Convert(FileName, 2048, file) ||
      !Convert(LongNameOnDisc, 256, long_name) || !Convert(ShortNameOnDisc, 64, short_name)) {
    return nullptr;
  }
  return CDFiles.InsertFileWithNameW(dest, file, long_name, short_name, false);
}

pFileEntry TOrvex::InsertFileWithNameW(const std::u16string& DestPath,
                                       const std::u16string& FileName,
                                       const std::u16string& LongNameOnDisc,
                                       const std::u16string& ShortNameOnDisc) {
  if (!ReadyToInsert()) return nullptr;
  return CDFiles.InsertFileWithNameW(DestPath, FileName, LongNameOnDisc, ShortNameOnDisc, true);
}

pFileEntry TOrvex::InsertMemoryFile(const std::string& DestPath,
                                    const WIN32_FIND_DATAA& FindFileData,
                                    TGetDataEvent OnGetData) {
  if (!ReadyToInsert()) return nullptr;
  std::u16string dest;
  WIN32_FIND_DATAW fd;
  if (!Convert(DestPath, 2048, dest) || !FindDataAToW(FindFileData, fd)) return nullptr;
  return CDFiles.InsertMemoryFileW(dest, fd, std::move(OnGetData));
}

pFileEntry TOrvex::InsertMemoryFileW(const std::u16string& DestPath,
                                     const WIN32_FIND_DATAW& FindFileData,
                                     TGetDataEvent OnGetData) {
  if (!ReadyToInsert()) return nullptr;
  return CDFiles.InsertMemoryFileW(DestPath, FindFileData, std::move(OnGetData));
}

pDirEntry TOrvex::InsertDir(const std::string& DestPath, const std::string& DirPath,
                            const std::string& FileSpecs, bool Recursive, bool SavePath) {
  if (!ReadyToInsert()) return nullptr;
  std::u16string dest, source, specs;
  if (!Convert(DestPath, 2048, dest) || !Convert(DirPath, 2048, source) ||
      !Convert(FileSpecs, 512, specs)) {
    return nullptr;
  }
  return CDFiles.InsertDirW(dest, source, specs, Recursive, SavePath, false);
}

pDirEntry TOrvex::InsertDirW(const std::u16string& DestPath, const std::u16string& DirPath,
                             const std::u16string& FileSpecs, bool Recursive, bool SavePath) {
  if (!ReadyToInsert()) return nullptr;
  return CDFiles.InsertDirW(DestPath, DirPath, FileSpecs, Recursive, SavePath, true);
}

bool TOrvex::ReadyToInsert() {
  CDFiles.cbAddFileEvent = on_add_file_;
  CDFiles.cbInsertIssue = on_insert_issue_;
  return ReadyForJob();
}

const TFileEntry* TOrvex::FileAt(int32_t FileId) const {
  if (FileId < 0 || FileId >= CDFiles.FileCounter()) return nullptr;
  return CDFiles.Files[static_cast<size_t>(FileId)];
}

std::u16string TOrvex::SourcePath(int32_t FileId) const {
  const TFileEntry* entry = FileAt(FileId);
  return entry != nullptr ? entry->Path : std::u16string();
}

std::u16string TOrvex::FileName(int32_t FileId) const {
  const TFileEntry* entry = FileAt(FileId);
  return entry != nullptr ? entry->LongName : std::u16string();
}

std::string TOrvex::ShortFileName(int32_t FileId) const {
  const TFileEntry* entry = FileAt(FileId);
  if (entry == nullptr) return {};
  return std::string(entry->ShortName, BoundedLength(entry->ShortName, sizeof entry->ShortName));
}

int64_t TOrvex::FileSize(int32_t FileId) const {
  const TFileEntry* entry = FileAt(FileId);
  return entry != nullptr ? entry->FileSize : -1;
}

std::u16string TOrvex::DirName(int32_t DirId) const {
  if (DirId < 0 || DirId >= CDFiles.DirCounter()) return {};
  return CDFiles.Dirs[static_cast<size_t>(DirId)]->LongName;
}

bool TOrvex::IsDirectory(int32_t FileId) const {
  const TFileEntry* entry = FileAt(FileId);
  return entry != nullptr && entry->DirRecord != nullptr;
}

int64_t TOrvex::FindFile(const std::string& Directory, const std::string& FileToFind) const {
  std::u16string directory, name;
  if (!Convert(Directory, 2048, directory) || !Convert(FileToFind, 512, name)) return -1;
  return CDFiles.FindFile(directory, name);
}

// Computed in 64 bits: addresses of images beyond 4 GiB stay exact.
int64_t TOrvex::FileAddress(int32_t FileId) const {
  const TFileEntry* entry = FileAt(FileId);
  return entry != nullptr ? static_cast<int64_t>(entry->Address) * 2048 : -1;
}

void TOrvex::WalkTree(const std::function<void(const TTreeItem&)>& visit) const {
  TTreeItem item;
  WalkPaths(CDFiles.RootDir, [](const TFileEntry& e) { return e.LongName; },
            [&](const TFileEntry& e, const std::u16string& path) {
              item.FileId = e.Index;
              item.IsDirectory = e.DirRecord != nullptr;
              item.Size = e.FileSize;
              item.Address = item.IsDirectory ? e.DirRecord->ImportedExtent : e.Address;
              item.Path = path;
              visit(item);
            });
}

}  // namespace orvex
