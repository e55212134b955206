// SPDX-License-Identifier: Apache-2.0
// The directory walk of an import: the records of a directory tree on a
// sector source become entries of the content tree.
#ifndef ORVEX_SERVICES_IMPORT_DIRECTORY_H_
#define ORVEX_SERVICES_IMPORT_DIRECTORY_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "services/import_report.h"
#include "services/rock_ridge.h"
#include "services/sector_reader.h"
#include "services/volume_records.h"
#include "tree/content_tree.h"

namespace orvex {

// How the walk reads the Rock Ridge entries of a primary tree that has them.
struct TRockRidgeReading {
  TRockRidgeVolume volume;
  bool names = false;  // an entry's NM name replaces its identifier (when the tree can hold it)
};

// One directory of the volume as the walk took it into the tree.
struct TImportedDirectory {
  pDirEntry dir = nullptr;        // where its records went
  size_t parent = 0;              // the directory it was found in (the first one: itself)
  pFileEntry entry = nullptr;     // its entry in the parent, when the walk created it
  std::vector<pFileEntry> files;  // the files it added or replaced there
};

// Adds the directory whose records fill `data_length` bytes from sector
// `extent` of `source`, and every directory below it, to `dest`.
//
// A subdirectory goes through MakeDir (an existing one of that name is
// reused, so the trees merge) and is walked at once; it records where its
// records lie in ImportedExtent, its size and address stay 0 as for every
// directory.  A file goes through AddEntry with its extent as the imported
// address, no source path, and
// its recording time taken as UTC, so the tree's limits, the add-file
// handler and ReplaceFile decide as for any entry.  A file recorded in
// several sections (multi-extent records) is one entry of their summed
// size, when its sections lie one after the other.
//
// The source is untrusted.  A record is read only when its length byte is
// not 0, it starts before byte 2015 of its sector and it ends within the
// sector; a sector that cannot be read is passed over.  A directory's
// sectors end at its length, at the end of the source, or before the first
// sector of a directory already walked; a directory that starts in one
// already walked (a record referring back to a directory being read, or to
// any extent read before) is left out, so no sector is read as a directory
// twice and the walk ends.  Left out as well: a file whose data does not lie
// within the source, a file whose sections do not join up, and a name that
// is ".", ".." or empty or holds a path separator ("\" or "/") or NUL.
// Everything left out is counted in `report`.  `walked`, when given,
// receives the directories in the order the walk entered them (a parent
// before its subdirectories), `dest` first.
//
// With `rock`, each record's Rock Ridge entries (see DecodeRockRidge) give
// the entry added or replaced its Posix attributes (Posix.Name the NM name;
// without one, empty, or with `rock->names` the name the entry took), and
// with `rock->names` its name too; what
// could not be read counts in report.rock_damaged only.  An NM name that
// holds "" is no image path's component: the entry keeps its identifier.
// A directory its writer moved (deeper than ISO 9660 allows) is read where
// its CL record puts it, and passed over where it lies (RE).
void ImportDirectory(TContentTree& tree, TSectorReader& source, uint32_t extent,
                     uint32_t data_length, pDirEntry dest, TNameEncoding encoding,
                     TImportReport& report, std::vector<TImportedDirectory>* walked = nullptr,
                     const TRockRidgeReading* rock = nullptr);

}  // namespace orvex

#endif  // ORVEX_SERVICES_IMPORT_DIRECTORY_H_
