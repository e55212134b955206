#include "tree/content_tree.h"

#include <cmath>
#include <cstring>

#include "platform/file_time.h"
#include "platform/find_file.h"
#include "tree/disc_names.h"

namespace orvex {
namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

bool IsDirectory(const WIN32_FIND_DATAW& fd) {
  return (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Drops one trailing separator of a destination path longer than one character.
std::u16string_view DropTrailingSeparator(std::u16string_view path) {
  if (path.size() > 1 && IsSeparator(path.back())) path.remove_suffix(1);
  return path;
}

// The local offset from UTC in 15-minute units for a zone and its state.
int32_t QuarterHours(const TIME_ZONE_INFORMATION& tzi, bool daylight) {
  const double bias = -tzi.Bias / 15.0 - (daylight ? tzi.DaylightBias / 15.0 : 0.0);
  return static_cast<int32_t>(std::floor(bias));
}

}  // namespace

void TContentTree::ClearAll() {
  TIME_ZONE_INFORMATION tzi;
  const TTimeZoneId zone = GetTimeZoneInformation(tzi);
  TimeZoneDifference = QuarterHours(tzi, zone == TIME_ZONE_ID_DAYLIGHT);

  Files.clear();
  Dirs.clear();
  PathTableEntries.clear();

  RootDir = NewDirEntry();
  RootDir->Parent = RootDir;
  std::strcpy(RootDir->ShortName, "ROOT_DIR");
  RootDir->DirNameLength = 8;
}

pFileEntry TContentTree::NewFileEntry() {
  pFileEntry entry = Files.Append();
  if (entry == nullptr) return nullptr;
  entry->Index = FileCounter() - 1;
  Prepared = false;
  return entry;
}

pDirEntry TContentTree::NewDirEntry() {
  pDirEntry dir = Dirs.Append();
  if (dir == nullptr) return nullptr;
  PathTableEntries.push_back(dir);
  Prepared = false;
  return dir;
}

std::u16string TContentTree::DirPath(const TDirEntry* d) const {
  std::vector<const TDirEntry*> chain;
  for (; d != nullptr && d != d->Parent; d = d->Parent) chain.push_back(d);
  std::u16string path = u"\\";
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    path += (*it)->LongName;
    path += u'\\';
  }
  return path;
}

pDirEntry TContentTree::FindDir(std::u16string_view path) const {
  if (RootDir == nullptr) return nullptr;
  if (path.empty() || (path.size() == 1 && IsSeparator(path[0]))) return RootDir;
  pDirEntry current = RootDir;
  const size_t last = path.size() - 1;
  size_t pos = 0;
  for (;;) {
    while (pos < path.size() && IsSeparator(path[pos])) ++pos;
    size_t next = pos;
    while (next < path.size() && !IsSeparator(path[next])) ++next;
    const pFileEntry entry = current->Names.Find(path.substr(pos, next - pos));
    if (entry == nullptr) return nullptr;
    // The component ends the path (at most one separator follows).
    if (next >= last) return entry->DirRecord;
    if (entry->DirRecord == nullptr) return nullptr;  // a file in the middle of the path
    current = entry->DirRecord;
    pos = next;
  }
}

void TContentTree::SetEntryTime(TFileEntry& entry, const FILETIME& last_write, bool imported) {
  SYSTEMTIME local;
  if (!FileTimeToSystemTime(FileTimeToLocalFileTime(last_write), local)) local = SYSTEMTIME{};
  entry.Time = local;
  if (!imported) return;
  // An imported time was read from a directory record as if it were UTC;
  // shifting it back by the zone's daylight bias keeps the recorded fields.
  TIME_ZONE_INFORMATION tzi;
  GetTimeZoneInformation(tzi);
  TimeZoneDifference2 = QuarterHours(tzi, true);
  TIME_ZONE_INFORMATION shifted = tzi;
  shifted.Bias = -tzi.DaylightBias;
  shifted.DaylightBias = -tzi.DaylightBias;
  SYSTEMTIME converted;
  if (SystemTimeToTzSpecificLocalTime(shifted, entry.Time, converted)) entry.Time = converted;
}

pFileEntry TContentTree::AddEntry(pDirEntry d, WIN32_FIND_DATAW fd, bool Unicode,
                                  uint32_t address, const std::u16string* path) {
  const TAddResult result = AddEntryChecked(d, fd, Unicode, address, path);
  switch (result.outcome) {
    case TAddOutcome::Refused:
      return kEntryRefused;
    case TAddOutcome::Failed:
      return nullptr;
    default:
      return result.entry;
  }
}

TContentTree::TAddResult TContentTree::AddEntryChecked(pDirEntry d, WIN32_FIND_DATAW fd,
                                                       bool Unicode, uint32_t address,
                                                       const std::u16string* path) {
  if (cbAddFileEvent) {
    bool skip = false;
    cbAddFileEvent(nullptr, path != nullptr ? path->c_str() : nullptr, fd, skip);
    if (skip) return {nullptr, TAddOutcome::Refused};
  }
  const std::u16string_view name = FindName(fd);
  if (name.size() >= kLongNameLimit) return {nullptr, TAddOutcome::Refused};
  // A nameless entry cannot be written to any of the trees.
  if (name.empty()) return {nullptr, TAddOutcome::Failed};

  pFileEntry entry = d->Names.Find(name);
  TAddOutcome outcome;
  if (entry != nullptr) {
    const bool existing_is_dir = entry->DirRecord != nullptr;
    // A file and a directory never take over each other's entry: that would
    // lose the file's data or cut the directory out of the tree.
    if (existing_is_dir != IsDirectory(fd) && (ReplaceFile || IsDirectory(fd))) {
      return {nullptr, TAddOutcome::Failed};
    }
    if (!ReplaceFile) return {entry, TAddOutcome::Existing};
    // The replacing source defines the content from now on: a data callback,
    // a digest or a shared-data link of the old source must not outlive it.
    entry->mfcbFunction = nullptr;
    entry->Hash.clear();
    entry->ReferenceEntry = nullptr;
    Prepared = false;
    outcome = TAddOutcome::Replaced;
  } else {
    entry = NewFileEntry();
    if (entry == nullptr) return {nullptr, TAddOutcome::Failed};
    outcome = TAddOutcome::Added;
  }

  SetFileEntryNames(*entry, fd);
  SetEntryTime(*entry, fd.ftLastWriteTime, address != 0);
  entry->FileSize = static_cast<int64_t>(FindFileSize(fd));
  if (path == nullptr) {
    entry->Path.clear();
  } else if (!path->empty()) {
    entry->Path = *path;
  }
  entry->Unicode = Unicode;
  entry->Address = address;
  entry->Imported = address != 0;
  entry->attributes = fd.dwFileAttributes;

  if (outcome == TAddOutcome::Added) {
    if (d->LastFile == nullptr) {
      d->Files = entry;
    } else {
      d->LastFile->NextFile = entry;
    }
    d->LastFile = entry;
    d->Names.Insert(entry);
  }
  return {entry, outcome};
}

pDirEntry TContentTree::MakeDir(pDirEntry parent, const WIN32_FIND_DATAW& fd) {
  return MakeDirChecked(parent, fd).dir;
}

TContentTree::TMakeDirResult TContentTree::MakeDirChecked(pDirEntry parent,
                                                          WIN32_FIND_DATAW fd) {
  // The entry standing for a directory always carries the directory bit,
  // which is how the layout tells it from a file.
  fd.dwFileAttributes |= FILE_ATTRIBUTE_DIRECTORY;
  if (const pFileEntry existing = parent->Names.Find(FindName(fd));
      existing != nullptr && existing->DirRecord != nullptr) {
    return {existing->DirRecord, false};
  }
  // Both tables must have room before anything is added.
  if (Dirs.full()) return {nullptr, false};
  const TAddResult added = AddEntryChecked(parent, fd, true, 0, nullptr);
  if (added.outcome == TAddOutcome::Refused) return {nullptr, true};
  if (added.outcome != TAddOutcome::Added) return {nullptr, false};

  const pDirEntry dir = NewDirEntry();
  added.entry->DirRecord = dir;
  SetDirEntryNames(*dir, fd);
  dir->Parent = parent;
  return {dir, false};
}

TContentTree::TMakeDirResult TContentTree::CreateDirIn(pDirEntry parent,
                                                       std::u16string_view DirName) {
  WIN32_FIND_DATAW fd;
  fd.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
  fd.ftLastWriteTime = GetSystemTimeAsFileTime();
  if (!SetFindName(fd, DirName)) return {nullptr, false};
  SetFindAlternateName(fd, DirName.substr(0, 11));
  return MakeDirChecked(parent, fd);
}

pDirEntry TContentTree::CreateDirW(std::u16string_view DestPath, std::u16string_view DirName) {
  const pDirEntry parent = FindDir(DestPath);
  if (parent == nullptr) return nullptr;
  return CreateDirIn(parent, DirName).dir;
}

pFileEntry TContentTree::InsertFileW(std::u16string_view DestPath, std::u16string_view FileName,
                                     bool Unicode) {
  WIN32_FIND_DATAW fd;
  if (!orvex::FindFile(FileName, fd) || IsDirectory(fd)) return nullptr;
  const pDirEntry dir = FindDir(DropTrailingSeparator(DestPath));
  if (dir == nullptr) return nullptr;
  const std::u16string path(FileName);
  return AddEntry(dir, fd, Unicode, 0, &path);
}

pFileEntry TContentTree::InsertFileWithNameW(std::u16string_view DestPath,
                                             std::u16string_view FileName,
                                             std::u16string_view LongNameOnDisc,
                                             std::u16string_view ShortNameOnDisc, bool Unicode) {
  WIN32_FIND_DATAW fd;
  if (!orvex::FindFile(FileName, fd) || IsDirectory(fd)) return nullptr;
  const pDirEntry dir = FindDir(DropTrailingSeparator(DestPath));
  if (dir == nullptr) return nullptr;
  // A long name too long for the find data is refused like any name from
  // 218 units on; a short name that does not fit is the caller's error.
  if (!SetFindName(fd, LongNameOnDisc)) return kEntryRefused;
  if (!SetFindAlternateName(fd, ShortNameOnDisc)) return nullptr;
  const std::u16string path(FileName);
  return AddEntry(dir, fd, Unicode, 0, &path);
}

pFileEntry TContentTree::InsertMemoryFileW(std::u16string_view DestPath,
                                           const WIN32_FIND_DATAW& FindFileData,
                                           TGetDataEvent OnGetData) {
  const pDirEntry dir = FindDir(DropTrailingSeparator(DestPath));
  if (dir == nullptr) return nullptr;
  const TAddResult result = AddEntryChecked(dir, FindFileData, true, 0, nullptr);
  switch (result.outcome) {
    case TAddOutcome::Added:
    case TAddOutcome::Replaced:
      result.entry->mfcbFunction = std::move(OnGetData);
      return result.entry;
    case TAddOutcome::Existing:
      return result.entry;
    case TAddOutcome::Refused:
      return kEntryRefused;
    case TAddOutcome::Failed:
      break;
  }
  return nullptr;
}

// The chain of directories that stands for the source's own path: everything
// after the leading "/" of an absolute path, a relative path whole, and for
// "\\server\share\dir" what follows the share.  "." and ".." name no
// directory of their own and are passed over.
pDirEntry TContentTree::SavedPathDestination(pDirEntry dest, std::u16string_view source) {
  std::u16string_view rest = source;
  char16_t separator = u'/';
  if (rest.substr(0, 2) == u"\\\\") {
    separator = u'\\';
    rest.remove_prefix(2);
    const size_t server_end = rest.find(u'\\');
    rest = server_end == std::u16string_view::npos ? std::u16string_view() : rest.substr(server_end + 1);
    const size_t share_end = rest.find(u'\\');
    if (share_end != std::u16string_view::npos) rest.remove_prefix(share_end + 1);
  }
  while (!rest.empty()) {
    const size_t end = rest.find(separator);
    const std::u16string_view component = rest.substr(0, end);
    rest = end == std::u16string_view::npos ? std::u16string_view() : rest.substr(end + 1);
    if (component.empty() || component == u"." || component == u"..") continue;
    dest = CreateDirIn(dest, component).dir;
    if (dest == nullptr) return nullptr;
  }
  return dest;
}

pDirEntry TContentTree::InsertDirW(std::u16string_view DestPath, std::u16string_view SourceDirPath,
                                   std::u16string_view FileSpecs, bool Recursive, bool SavePath,
                                   bool Unicode) {
  pDirEntry dest = FindDir(DestPath);
  if (dest == nullptr) return nullptr;
  std::u16string source(SourceDirPath);
  if (!source.empty() && source.back() == u'/') source.pop_back();
  if (SavePath && source.size() > 2) {
    dest = SavedPathDestination(dest, source);
    if (dest == nullptr) return nullptr;
  }
  return InsertDirInto(dest, source, FileSpecs, Recursive, Unicode);
}

pDirEntry TContentTree::InsertDirInto(pDirEntry dest, const std::u16string& source,
                                      std::u16string_view specs, bool recursive, bool Unicode) {
  // Both listings are read before anything is added, so one directory is
  // read once however deep the recursion below it goes.
  std::vector<WIN32_FIND_DATAW> subdirectories, files;
  TFindSearch search;
  WIN32_FIND_DATAW fd;
  if (recursive) {
    for (bool found = search.First(source + u"/*.*", fd); found; found = search.Next(fd)) {
      const std::u16string_view name = FindName(fd);
      if (IsDirectory(fd) && name != u"." && name != u"..") subdirectories.push_back(fd);
    }
  }
  for (bool found = search.First(source + u"/" + std::u16string(specs), fd); found;
       found = search.Next(fd)) {
    if (!IsDirectory(fd)) files.push_back(fd);
  }

  for (const WIN32_FIND_DATAW& sub : subdirectories) {
    const TMakeDirResult made = MakeDirChecked(dest, sub);
    if (made.refused) continue;
    if (made.dir == nullptr) return nullptr;
    const std::u16string sub_source = source + u"/" + std::u16string(FindName(sub));
    if (InsertDirInto(made.dir, sub_source, specs, true, Unicode) == nullptr) return nullptr;
  }
  for (const WIN32_FIND_DATAW& file : files) {
    const std::u16string path = source + u"/" + std::u16string(FindName(file));
    if (AddEntry(dest, file, Unicode, 0, &path) == nullptr) return nullptr;
  }
  return dest;
}

int64_t TContentTree::FindFile(std::u16string_view Directory,
                               std::u16string_view FileToFind) const {
  const pDirEntry dir = FindDir(Directory);
  if (dir == nullptr) return -1;
  const pFileEntry entry = dir->Names.Find(FileToFind);
  return entry == nullptr ? -1 : entry->Index;
}

}  // namespace orvex
