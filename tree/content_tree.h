// The tree half of the content record: the file and directory tables, the
// root, and the routines that insert and find entries.
//
// Every directory but the root has exactly one entry in its parent's list
// whose DirRecord points to it, and that entry also occupies a Files slot,
// so FileCounter counts files plus directories.  Within one directory no two
// entries have long names that are equal ignoring case (files and
// subdirectories share that name space).  Lists keep insertion order; the
// tables only grow until the next ClearAll.
//
// Image paths ("\Docs\Letters") separate components by "\" or "/"; source
// paths are POSIX paths.  Results: an entry, null for a failure (nothing
// changed), or kEntryRefused when the add-file handler or the long-name
// limit refused the entry.  Nothing here sets an error number.
#ifndef ORVEX_TREE_CONTENT_TREE_H_
#define ORVEX_TREE_CONTENT_TREE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/find_data.h"
#include "tree/entries.h"
#include "tree/entry_table.h"

namespace orvex {

constexpr size_t kMaxFileEntries = 200'000;  // files plus one per directory
constexpr size_t kMaxDirectories = 65'000;   // including the root

class TContentTree {
 public:
  TContentTree() = default;
  TContentTree(const TContentTree&) = delete;
  TContentTree& operator=(const TContentTree&) = delete;

  TEntryTable<TFileEntry> Files{kMaxFileEntries};  // creation order; a FileId indexes it
  TEntryTable<TDirEntry> Dirs{kMaxDirectories};    // creation order; slot 0 is the root
  std::vector<pDirEntry> PathTableEntries;         // Dirs again, for the layout to sort
  pDirEntry RootDir = nullptr;
  bool ReplaceFile = false;     // inserting an existing name overwrites its entry
  bool Prepared = false;        // the layout is current; every change clears it
  int32_t TimeZoneDifference = 0;   // local offset from UTC in 15-minute units
  int32_t TimeZoneDifference2 = 0;  // the same as computed for imported entries
  TAddFileEvent cbAddFileEvent;     // consulted for every entry added

  int32_t FileCounter() const { return static_cast<int32_t>(Files.size()); }
  int32_t DirCounter() const { return static_cast<int32_t>(Dirs.size()); }

  // Empties the tree, reads the time zone, and creates a fresh root.  Until
  // the first ClearAll there is no root and every insertion returns null.
  void ClearAll();

  // A zeroed entry appended to the table (and, for directories, to
  // PathTableEntries); null when the table is full.
  pFileEntry NewFileEntry();
  pDirEntry NewDirEntry();

  // "\" for the root, else "\A\B\C\" (leading and trailing separator).
  std::u16string DirPath(const TDirEntry* d) const;

  // The directory at an image path; "\" and "" are the root; leading
  // separators are skipped, one trailing separator is allowed, two or more
  // find nothing, and a path whose last component names a file is null.
  pDirEntry FindDir(std::u16string_view path) const;

  // Adds (or, with ReplaceFile, overwrites) the entry named fd.cFileName in
  // `d`.  `address` non-zero marks an imported entry whose data lies at that
  // absolute block; `path` null clears the source path, an empty one keeps it.
  pFileEntry AddEntry(pDirEntry d, WIN32_FIND_DATAW fd, bool Unicode, uint32_t address,
                      const std::u16string* path);

  // The subdirectory fd.cFileName of `parent`, created when missing.  Null
  // when it cannot be created: the tables are full, its entry is refused, or
  // the name belongs to a file.
  pDirEntry MakeDir(pDirEntry parent, const WIN32_FIND_DATAW& fd);

  pDirEntry CreateDirW(std::u16string_view DestPath, std::u16string_view DirName);

  // A file of the file system.  Directories, devices and pipes are refused
  // (null).  `Unicode` records which interface the caller used.
  pFileEntry InsertFileW(std::u16string_view DestPath, std::u16string_view FileName,
                         bool Unicode = true);

  // The same under other names: LongNameOnDisc (refused from 218 units on)
  // and ShortNameOnDisc (at most 13 characters, else null; empty derives the
  // short name from the long one).
  pFileEntry InsertFileWithNameW(std::u16string_view DestPath, std::u16string_view FileName,
                                 std::u16string_view LongNameOnDisc,
                                 std::u16string_view ShortNameOnDisc, bool Unicode = true);

  // A file whose data OnGetData supplies; the callback is attached only when
  // the entry was added or replaced.
  pFileEntry InsertMemoryFileW(std::u16string_view DestPath, const WIN32_FIND_DATAW& FindFileData,
                               TGetDataEvent OnGetData);

  // The files of SourceDirPath matching FileSpecs, and with Recursive every
  // subdirectory (always all of them, whatever the pattern) with its files,
  // subdirectories first.  With SavePath the source's own path is recreated
  // below DestPath first.  A directory the add-file handler refuses is left
  // out with its content; any other failure stops at once with null, keeping
  // what was added before.
  pDirEntry InsertDirW(std::u16string_view DestPath, std::u16string_view SourceDirPath,
                       std::u16string_view FileSpecs, bool Recursive, bool SavePath,
                       bool Unicode = true);

  // The FileId of FileToFind in the directory at image path Directory, or -1.
  int64_t FindFile(std::u16string_view Directory, std::u16string_view FileToFind) const;

 private:
  enum class TAddOutcome { Added, Replaced, Existing, Refused, Failed };
  struct TAddResult {
    pFileEntry entry = nullptr;
    TAddOutcome outcome = TAddOutcome::Failed;
  };
  struct TMakeDirResult {
    pDirEntry dir = nullptr;
    bool refused = false;
  };

  TAddResult AddEntryChecked(pDirEntry d, WIN32_FIND_DATAW fd, bool Unicode, uint32_t address,
                             const std::u16string* path);
  TMakeDirResult MakeDirChecked(pDirEntry parent, WIN32_FIND_DATAW fd);
  TMakeDirResult CreateDirIn(pDirEntry parent, std::u16string_view DirName);
  pDirEntry SavedPathDestination(pDirEntry dest, std::u16string_view source);
  pDirEntry InsertDirInto(pDirEntry dest, const std::u16string& source, std::u16string_view specs,
                          bool recursive, bool Unicode);
  void SetEntryTime(TFileEntry& entry, const FILETIME& last_write, bool imported);
};

}  // namespace orvex

#endif  // ORVEX_TREE_CONTENT_TREE_H_
