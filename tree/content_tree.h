// SPDX-License-Identifier: Apache-2.0
// The tree half of the content record: the file and directory tables, the
// root, and the routines that insert and find entries.
//
// Every directory but the root has exactly one entry in its parent's list
// whose DirRecord points to it, and that entry also occupies a Files slot,
// so FileCounter counts files plus directories.  Within one directory no two
// entries have the same long name (files and subdirectories share that name
// space; names differing only in case are different), and no two have the
// same short name: an entry whose short name another one has already gets an alias
// made from its long name ("~N", as enumeration makes them).  Lists keep
// insertion order; the tables only grow until the next ClearAll.
//
// Image paths ("\Docs\Letters") separate components by "\" or "/"; source
// paths are POSIX paths.  Results: an entry, null for a failure (nothing
// changed), or kEntryRefused when the add-file handler or the long-name
// limit refused the entry.  Nothing here sets an error number; what the
// insertion routines leave out is told to cbInsertIssue.
#ifndef ORVEX_TREE_CONTENT_TREE_H_
#define ORVEX_TREE_CONTENT_TREE_H_

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/find_data.h"
#include "tree/entries.h"
#include "tree/entry_table.h"
#include "tree/insert_issues.h"

namespace orvex {

constexpr size_t kMaxFileEntries = 200'000;  // files plus one per directory
constexpr size_t kMaxDirectories = 65'000;   // including the root

// What became of an entry given to the tree.
enum class TAddOutcome {
  kAdded,     // a new entry
  kReplaced,  // the entry of that name took the new source (ReplaceFile)
  kExisting,  // the directory held that name already; that entry stays as it was
  kSkipped,   // the add-file handler asked to leave it out
  kTooLong,   // its long name is too long
  kInvalid,   // no name, or a file whose find data says "directory"
  kClash,     // the name belongs to an entry of the other kind (file against directory)
  kFull,      // the file or directory table is full
};

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
  TInsertIssueEvent cbInsertIssue;  // told what the insertion routines leave out
  // Source files whose permission bits do not let this process read them
  // are left out (kUnreadableEntry) instead of failing the image job later.
  bool ReadableSourcesOnly = false;
  // Symbolic links met while a directory is inserted are stored as links:
  // empty files without a source whose Posix holds the target, whatever
  // it leads to (a dangling link too).  Otherwise what a link leads to is
  // stored, and dangling links are left out.
  bool KeepLinks = false;
  // What the root directory is (it has no entry of its own): ClearAll makes
  // it mode 0555, owned by root, created now; a source directory inserted
  // into the root gives it its own attributes.
  TPosixAttributes RootPosix;

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

  struct TAddResult {
    pFileEntry entry = nullptr;  // the entry added, replaced or existing; else null
    TAddOutcome outcome = TAddOutcome::kInvalid;
  };
  struct TMakeDirResult {
    pDirEntry dir = nullptr;  // the directory made or existing; else null
    TAddOutcome outcome = TAddOutcome::kInvalid;
    pFileEntry entry = nullptr;  // the entry standing for a directory made
  };

  // Adds (or, with ReplaceFile, overwrites) the file named fd.cFileName in
  // `d`, after the add-file handler has had its chance to change `fd`; a
  // short name taken in `d` is replaced in fd.cAlternateFileName too.
  // `address` non-zero marks an imported entry whose data lies at that
  // absolute block; `path` null clears the source path, an empty one keeps
  // it.  A file never takes over a directory's entry, and replacing an
  // entry that others share data with gives them their own data back.
  TAddResult AddFileEntry(pDirEntry d, WIN32_FIND_DATAW& fd, bool Unicode, uint32_t address,
                          const std::u16string* path);

  // The subdirectory fd.cFileName of `parent`, created when missing.  A
  // name the add-file handler changes is the name of the directory and of
  // its entry alike; when the changed name is an existing directory, that
  // one is returned.
  TMakeDirResult MakeDirEntry(pDirEntry parent, WIN32_FIND_DATAW fd);

  // The same with the results of the routines they stand for: an entry,
  // null for a failure (nothing changed), or kEntryRefused when the handler
  // skipped the entry or its name is too long.
  pFileEntry AddEntry(pDirEntry d, WIN32_FIND_DATAW fd, bool Unicode, uint32_t address,
                      const std::u16string* path);
  pDirEntry MakeDir(pDirEntry parent, const WIN32_FIND_DATAW& fd);

  // What RenameShort gives an entry of a directory: its wished short name,
  // empty when there is none.
  struct TShortNameWish {
    pFileEntry entry;
    std::u16string wish;
  };
  // New short names for entries of `d` (files or subdirectories), their
  // current ones given up first: each takes its wish when that is a valid
  // 8.3 name no other entry of `d` has, the others aliases of their long
  // names made as for the names of a listed directory, unique in `d`.
  void RenameShort(pDirEntry d, std::vector<TShortNameWish> wishes);

  // Makes `duplicate` share the data of `reference` (smart references): its
  // own source is set aside, and the layout gives it the reference's address.
  void ShareData(pFileEntry duplicate, pFileEntry reference);
  // The source a duplicate set aside (empty for any other entry).
  std::u16string SetAsidePath(const TFileEntry* duplicate) const;

  pDirEntry CreateDirW(std::u16string_view DestPath, std::u16string_view DirName);

  // A file of the file system.  Directories, devices and pipes are refused
  // (null).  `Unicode` records which interface the caller used.
  pFileEntry InsertFileW(std::u16string_view DestPath, std::u16string_view FileName,
                         bool Unicode = true);

  // The same under other names: LongNameOnDisc (refused from kLongNameLimit
  // units on) and ShortNameOnDisc (at most 13 characters, else null; empty
  // derives the short name from the long one).
  pFileEntry InsertFileWithNameW(std::u16string_view DestPath, std::u16string_view FileName,
                                 std::u16string_view LongNameOnDisc,
                                 std::u16string_view ShortNameOnDisc, bool Unicode = true);

  // A file whose data OnGetData supplies; the callback is attached only when
  // the entry was added or replaced.  Find data with the directory attribute
  // is refused (null): a memory file is a file.
  pFileEntry InsertMemoryFileW(std::u16string_view DestPath, const WIN32_FIND_DATAW& FindFileData,
                               TGetDataEvent OnGetData);

  // The files of SourceDirPath matching FileSpecs, and with Recursive every
  // subdirectory (always all of them, whatever the pattern) with its files,
  // subdirectories first.  With SavePath the source's own path is recreated
  // below DestPath first.  An entry that cannot be taken (see
  // TInsertIssueKind) is left out and told to cbInsertIssue, and the walk
  // goes on; only a full table stops it, with null, keeping what was added
  // before.  A directory the add-file handler refuses is left out with its
  // content.
  pDirEntry InsertDirW(std::u16string_view DestPath, std::u16string_view SourceDirPath,
                       std::u16string_view FileSpecs, bool Recursive, bool SavePath,
                       bool Unicode = true);

  // The FileId of FileToFind in the directory at image path Directory, or -1.
  int64_t FindFile(std::u16string_view Directory, std::u16string_view FileToFind) const;

 private:
  enum class TKind { kFile, kDirectory };

  TAddResult AddChecked(pDirEntry d, WIN32_FIND_DATAW& fd, TKind kind, bool Unicode,
                        uint32_t address, const std::u16string* path);
  // The entry, null or kEntryRefused that AddEntry returns for a result.
  static pFileEntry EntryResult(const TAddResult& result);
  TMakeDirResult CreateDirIn(pDirEntry parent, std::u16string_view DirName);
  void GiveBackSharedData(pFileEntry reference);
  void StopSharing(pFileEntry duplicate);
  void SetEntryTime(TFileEntry& entry, const FILETIME& last_write, bool imported);

  // Insertion from the file system (source_insertion.cpp).
  // Adds a file from an insertion routine, telling cbInsertIssue when it is
  // not taken; `name` is the source path, or the image path without one.
  // An entry added or replaced from a source path takes its POSIX
  // attributes from it (of a kept link: the link's own, and no source);
  // `found`, what a listing already learnt of the source, saves examining
  // it again.  `fd` is the caller's to give up: the add-file handler may
  // change it.
  TAddResult InsertEntry(pDirEntry dir, WIN32_FIND_DATAW& fd, bool Unicode,
                         const std::u16string* path, const std::u16string& name,
                         const struct stat* found = nullptr);
  pDirEntry SavedPathDestination(pDirEntry dest, std::u16string_view source);
  bool InsertDirInto(pDirEntry dest, const std::u16string& source, std::u16string_view specs,
                     bool recursive, bool Unicode);
  // Tells cbInsertIssue what became of an entry that was not taken; false
  // when the outcome stops an insertion (a full table).
  bool Report(TAddOutcome outcome, const std::u16string& path);
  // Whether a source file may be taken under ReadableSourcesOnly; tells
  // cbInsertIssue when not.
  bool Readable(const std::u16string& path);
  void Report(TInsertIssueKind kind, const std::u16string& path, int error = 0);

  // The own sources of the entries that share another's data, until that
  // entry is replaced and they get them back.
  struct TSetAsideSource {
    std::u16string path;
    TGetDataEvent callback;
  };
  std::unordered_map<const TFileEntry*, TSetAsideSource> set_aside_;
};

}  // namespace orvex

#endif  // ORVEX_TREE_CONTENT_TREE_H_
