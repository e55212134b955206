// SPDX-License-Identifier: Apache-2.0
// The records of the content tree: one TFileEntry per file and per
// subdirectory (standing for it in its parent's list), one TDirEntry per
// directory, and the two event types that entries carry.
#ifndef ORVEX_TREE_ENTRIES_H_
#define ORVEX_TREE_ENTRIES_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_set>

#include "platform/file_time.h"
#include "platform/find_data.h"
#include "tree/name_index.h"
#include "tree/posix_attributes.h"

namespace orvex {

class TObject;
struct TFileEntry;
struct TDirEntry;
using pFileEntry = TFileEntry*;
using pDirEntry = TDirEntry*;

// The value returned for an entry refused without an error (the add-file
// handler skipped it, or its long name is too long).  Never dereference it.
inline const pFileEntry kEntryRefused = reinterpret_cast<pFileEntry>(1);

// Called while entries are added, before the entry exists: `Path` is the
// source path or null, `fd` may be changed, `Skip` set to refuse the entry.
// Sender is null.
using TAddFileEvent =
    std::function<void(TObject* Sender, const char16_t* Path, WIN32_FIND_DATAW& fd, bool& Skip)>;

// Supplies the data of a memory file: fill `Size` bytes from byte `Position`
// of the file into `Buffer`.  The byte offset is 64-bit so that files of
// 4 GiB and more can be supplied in full.
using TGetDataEvent = std::function<void(TObject* Sender, pFileEntry FileEntry, uint64_t Position,
                                         void* Buffer, uint32_t& Size)>;

// Where the UDF bridge puts an entry: sectors relative to the start of the
// image being written, set by the layout.
struct UDFFileInformation {
  uint32_t FileICB_LSOffsetWRTSession = 0;  // the file entry of a file
};

// The identifiers an entry carries in the long-name trees of the image
// (Joliet, ISO 9660:1999, UDF) where they are not simply its long name cut
// to the tree's limit: names the cut made equal to another in the same
// directory get a "~N" ending, and characters with no form on disc become
// "_".  Set by the layout; null when every tree takes the plain cut.
struct TDiscIdentifiers {
  std::u16string Joliet;  // at most 103 units
  std::string Iso1999;    // 8-bit, at most 221 bytes
  std::u16string Udf;     // at most 127 units
};

struct UDFDirectoryInformation {
  uint16_t FileLinkCount = 0;               // 1 + subdirectories
  uint64_t InformationLength = 0;           // bytes of its file identifier descriptors
  uint32_t DirICB_LSOffsetWRTSession = 0;   // its file entry
  uint32_t DirData_LSOffsetWRTSession = 0;  // its first directory data sector
};

struct TFileEntry {
  char ShortName[16] = {};        // the 8.3 name, 8-bit, zero-terminated
  std::u16string LongName;        // the long name on the disc
  std::u16string LongNameWIN32;   // the long name given when the entry was created, kept
                                  // here only once LongName differs from it
  std::u16string Path;            // source path; empty for memory files, created
                                  // directories and entries added without a path
  SYSTEMTIME Time;                // last-write time, local
  int32_t FileId = 0;             // set by the pipeline and the UDF layout
  int32_t Index = 0;              // the entry's slot in the file table, fixed at creation
  int64_t FileSize = 0;
  uint32_t Address = 0;           // block: layout-relative, or absolute when Imported
  bool Imported = false;          // the data lies on the disc already (earlier session)
  uint32_t attributes = 0;        // Windows attributes of the source
  uint8_t FileNameLength = 0;     // bytes in ShortName
  uint8_t FileNameLengthJ = 0;    // UTF-16 units in LongName
  bool Unicode = false;           // added through the UTF-16 interface
  TGetDataEvent mfcbFunction;     // data callback of a memory file
  pFileEntry NextFile = nullptr;  // next entry of the same directory
  pDirEntry DirRecord = nullptr;  // the directory this entry stands for; null for a file
  std::string Hash;               // content digest, 32 hexadecimal digits
  pFileEntry ReferenceEntry = nullptr;  // the entry whose data this one shares
  UDFFileInformation UDFFileInfo;
  FILETIME WriteTime;             // the source's last-write time (UTC) when it was added
  uint32_t ReferencedBy = 0;      // entries that share this one's data
  const TDiscIdentifiers* Identifiers = nullptr;  // set by the layout, which owns them
  std::optional<TPosixAttributes> Posix;  // what a POSIX source or a Rock Ridge session says of it

  // The long name given when the entry was created.
  const std::u16string& FirstLongName() const { return LongNameWIN32.empty() ? LongName : LongNameWIN32; }
};

struct TDirEntry {
  pDirEntry Parent = nullptr;      // the root is its own parent
  std::u16string LongName;         // empty for the root
  char ShortName[16] = {};         // the 8.3 name in upper case; "ROOT_DIR" for the root
  uint8_t DirNameLength = 0;       // bytes in ShortName
  uint8_t DirNameLengthJ = 0;      // UTF-16 units in LongName
  // Set by the layout: the extents of the ISO 9660 and Joliet trees (bytes,
  // whole sectors), their sectors relative to each tree's directory area,
  // and the 1-based position in the path tables.
  uint32_t DirSize = 0;
  uint32_t DirSizeJ = 0;
  uint32_t Address = 0;
  uint32_t AddressJ = 0;
  uint16_t number = 0;
  UDFDirectoryInformation UDFDirInfo;
  pFileEntry Files = nullptr;      // head of the entry list, in insertion order
  pFileEntry LastFile = nullptr;   // its tail, so that appending costs O(1)
  TNameIndex Names;                // the list's entries by exact long name
  std::unordered_set<std::string> ShortNames;  // the list's short names (ShortNameKey)
  uint32_t ImportedExtent = 0;     // where an imported directory's records lie (for listings)
  const TDiscIdentifiers* Identifiers = nullptr;  // its entry's, set by the layout
};

}  // namespace orvex

#endif  // ORVEX_TREE_ENTRIES_H_
