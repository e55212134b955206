// SPDX-License-Identifier: Apache-2.0
#include "tree/content_tree.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>

#include "platform/file_time.h"
#include "platform/name_compare.h"
#include "platform/short_alias.h"
#include "platform/text_conversion.h"
#include "tree/disc_names.h"

namespace orvex {
namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

bool IsDirectory(const WIN32_FIND_DATAW& fd) {
  return (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The 8-bit form of a long name that aliases are made from.
std::string AliasSource(std::u16string_view long_name) {
  return Utf16ToUtf8(ReplaceLoneSurrogates(long_name, u'_'));
}

// The alternate name that gives `long_name` a short name not yet in
// `taken`, which it then joins: an alias, or the long name itself when that
// is a valid 8.3 name still free.
std::u16string FreeAlternate(std::u16string_view long_name, std::unordered_set<std::string>& taken) {
  const std::string source = AliasSource(long_name);
  const auto aliases = MakeDirectoryAliases({source}, taken);
  const auto it = aliases.find(source);
  return it != aliases.end() ? it->second : std::u16string(long_name);
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
  set_aside_.clear();

  RootDir = NewDirEntry();
  RootDir->Parent = RootDir;
  std::strcpy(RootDir->ShortName, "ROOT_DIR");
  RootDir->DirNameLength = 8;
  RootPosix = TPosixAttributes{};
  RootPosix.Mode = S_IFDIR | 0555;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  RootPosix.Modified = RootPosix.Accessed = RootPosix.Changed = now;
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
  entry.WriteTime = last_write;
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
  return EntryResult(AddFileEntry(d, fd, Unicode, address, path));
}

pFileEntry TContentTree::EntryResult(const TAddResult& result) {
  switch (result.outcome) {
    case TAddOutcome::kAdded:
    case TAddOutcome::kReplaced:
    case TAddOutcome::kExisting:
      return result.entry;
    case TAddOutcome::kSkipped:
    case TAddOutcome::kTooLong:
      return kEntryRefused;
    default:
      return nullptr;
  }
}

TContentTree::TAddResult TContentTree::AddFileEntry(pDirEntry d, WIN32_FIND_DATAW& fd,
                                                    bool Unicode, uint32_t address,
                                                    const std::u16string* path) {
  return AddChecked(d, fd, TKind::kFile, Unicode, address, path);
}

TContentTree::TAddResult TContentTree::AddChecked(pDirEntry d, WIN32_FIND_DATAW& fd, TKind kind,
                                                  bool Unicode, uint32_t address,
                                                  const std::u16string* path) {
  if (cbAddFileEvent) {
    bool skip = false;
    cbAddFileEvent(nullptr, path != nullptr ? path->c_str() : nullptr, fd, skip);
    if (skip) return {nullptr, TAddOutcome::kSkipped};
  }
  // An entry has the directory attribute exactly when it is a directory,
  // whatever the find data (or a handler) says: the layout tells the two
  // apart by it.
  if (kind == TKind::kDirectory) {
    fd.dwFileAttributes |= FILE_ATTRIBUTE_DIRECTORY;
  } else if (IsDirectory(fd)) {
    return {nullptr, TAddOutcome::kInvalid};
  }
  const std::u16string_view name = FindName(fd);
  if (name.size() >= kLongNameLimit) return {nullptr, TAddOutcome::kTooLong};
  // A nameless entry cannot be written to any of the trees.
  if (name.empty()) return {nullptr, TAddOutcome::kInvalid};

  pFileEntry entry = d->Names.Find(name);
  TAddOutcome outcome;
  if (entry != nullptr) {
    // A file and a directory never take over each other's entry: that would
    // lose the file's data or cut the directory out of the tree.
    if ((entry->DirRecord != nullptr) != (kind == TKind::kDirectory)) {
      return {entry, TAddOutcome::kClash};
    }
    if (!ReplaceFile || kind == TKind::kDirectory) return {entry, TAddOutcome::kExisting};
    // The replacing source defines the content from now on: a data callback,
    // a digest or a shared-data link of the old source must not outlive it,
    // and entries that shared the old data get their own back.
    entry->mfcbFunction = nullptr;
    entry->Hash.clear();
    d->ShortNames.erase(ShortNameKey(*entry));
    StopSharing(entry);
    GiveBackSharedData(entry);
    Prepared = false;
    outcome = TAddOutcome::kReplaced;
  } else {
    entry = NewFileEntry();
    if (entry == nullptr) return {nullptr, TAddOutcome::kFull};
    outcome = TAddOutcome::kAdded;
  }

  SetFileEntryNames(*entry, fd);
  if (!d->ShortNames.insert(ShortNameKey(*entry)).second) {
    // Two records of one name: ISO 9660 readers would reach only one.
    SetFindAlternateName(fd, FreeAlternate(entry->LongName, d->ShortNames));
    SetFileEntryNames(*entry, fd);
  }
  SetEntryTime(*entry, fd.ftLastWriteTime, address != 0);
  entry->Posix.reset();  // the new source's, when it has any, are set by the caller
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

  if (outcome == TAddOutcome::kAdded) {
    if (d->LastFile == nullptr) {
      d->Files = entry;
    } else {
      d->LastFile->NextFile = entry;
    }
    d->LastFile = entry;
    if (const pFileEntry variant = d->Names.FindCaseVariant(entry->LongName); variant != nullptr && cbInsertIssue) {
      const std::u16string told = path != nullptr && !path->empty() ? *path : DirPath(d) + entry->LongName;
      cbInsertIssue(TInsertIssue{TInsertIssueKind::kCaseVariant, told, 0, variant->LongName});
    }
    d->Names.Insert(entry);
  }
  return {entry, outcome};
}

pDirEntry TContentTree::MakeDir(pDirEntry parent, const WIN32_FIND_DATAW& fd) {
  return MakeDirEntry(parent, fd).dir;
}

TContentTree::TMakeDirResult TContentTree::MakeDirEntry(pDirEntry parent, WIN32_FIND_DATAW fd) {
  if (const pFileEntry existing = parent->Names.Find(FindName(fd));
      existing != nullptr && existing->DirRecord != nullptr) {
    return {existing->DirRecord, TAddOutcome::kExisting};
  }
  // Both tables must have room before anything is added.
  if (Dirs.full()) return {nullptr, TAddOutcome::kFull};
  const TAddResult added = AddChecked(parent, fd, TKind::kDirectory, true, 0, nullptr);
  if (added.outcome == TAddOutcome::kExisting) return {added.entry->DirRecord, added.outcome};
  if (added.outcome != TAddOutcome::kAdded) return {nullptr, added.outcome};

  const pDirEntry dir = NewDirEntry();
  added.entry->DirRecord = dir;
  // `fd` as the handler left it: one name for the entry and the directory.
  SetDirEntryNames(*dir, fd);
  dir->Parent = parent;
  return {dir, TAddOutcome::kAdded, added.entry};
}

TContentTree::TMakeDirResult TContentTree::CreateDirIn(pDirEntry parent,
                                                       std::u16string_view DirName) {
  WIN32_FIND_DATAW fd;
  fd.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
  fd.ftLastWriteTime = GetSystemTimeAsFileTime();
  if (!SetFindName(fd, DirName)) return {nullptr, TAddOutcome::kTooLong};
  SetFindAlternateName(fd, DirName.substr(0, 11));
  return MakeDirEntry(parent, fd);
}

pDirEntry TContentTree::CreateDirW(std::u16string_view DestPath, std::u16string_view DirName) {
  const pDirEntry parent = FindDir(DestPath);
  if (parent == nullptr) return nullptr;
  const TMakeDirResult made = CreateDirIn(parent, DirName);
  if (made.dir == nullptr) Report(made.outcome, DirPath(parent) + std::u16string(DirName));
  return made.dir;
}

void TContentTree::RenameShort(pDirEntry d, std::vector<TShortNameWish> wishes) {
  for (const TShortNameWish& w : wishes) d->ShortNames.erase(ShortNameKey(*w.entry));
  // The result depends on the names alone, not on the order they come in.
  std::sort(wishes.begin(), wishes.end(), [](const TShortNameWish& a, const TShortNameWish& b) {
    return a.entry->LongName < b.entry->LongName;
  });
  std::vector<pFileEntry> rest;
  std::vector<std::string> sources;
  for (const TShortNameWish& w : wishes) {
    if (!w.wish.empty() && IsValid83Name(w.wish) &&
        d->ShortNames.insert(AsciiUpper(Utf16ToUtf8(w.wish))).second) {
      SetShortNames(*w.entry, w.wish);
    } else {
      rest.push_back(w.entry);
      sources.push_back(AliasSource(w.entry->LongName));
    }
  }
  const auto aliases = MakeDirectoryAliases(sources, d->ShortNames);
  for (size_t i = 0; i < rest.size(); ++i) {
    const auto it = aliases.find(sources[i]);
    SetShortNames(*rest[i], it != aliases.end() ? it->second : rest[i]->LongName);
  }
  Prepared = false;
}

void TContentTree::ShareData(pFileEntry duplicate, pFileEntry reference) {
  StopSharing(duplicate);
  duplicate->ReferenceEntry = reference;
  ++reference->ReferencedBy;
  set_aside_[duplicate] = {std::move(duplicate->Path), std::move(duplicate->mfcbFunction)};
  duplicate->Path.clear();
  duplicate->mfcbFunction = nullptr;
  Prepared = false;
}

std::u16string TContentTree::SetAsidePath(const TFileEntry* duplicate) const {
  const auto it = set_aside_.find(duplicate);
  return it == set_aside_.end() ? std::u16string() : it->second.path;
}

void TContentTree::StopSharing(pFileEntry duplicate) {
  if (duplicate->ReferenceEntry == nullptr) return;
  --duplicate->ReferenceEntry->ReferencedBy;
  duplicate->ReferenceEntry = nullptr;
  set_aside_.erase(duplicate);
}

void TContentTree::GiveBackSharedData(pFileEntry reference) {
  for (size_t i = 0; reference->ReferencedBy > 0 && i < Files.size(); ++i) {
    TFileEntry& e = *Files[i];
    if (e.ReferenceEntry != reference) continue;
    TSetAsideSource& source = set_aside_[&e];
    e.Path = std::move(source.path);
    e.mfcbFunction = std::move(source.callback);
    StopSharing(&e);
  }
}

int64_t TContentTree::FindFile(std::u16string_view Directory,
                               std::u16string_view FileToFind) const {
  const pDirEntry dir = FindDir(Directory);
  if (dir == nullptr) return -1;
  const pFileEntry entry = dir->Names.Find(FileToFind);
  return entry == nullptr ? -1 : entry->Index;
}

}  // namespace orvex
