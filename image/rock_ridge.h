// SPDX-License-Identifier: Apache-2.0
// The Rock Ridge records of the primary tree: what a POSIX reader learns of
// an entry beyond its ISO 9660 record (its exact name, type and permission
// bits, owner, link count, serial number, times, and a symbolic link's
// target), kept in the system use area of its directory records.  Where
// that area would make a record longer than 255 bytes, what does not fit
// goes to a continuation area; the continuation sectors lie right after the
// primary tree's directories.  The layout (which sizes) and the writer
// (which fills) both build the areas here, in the same order, so they agree
// byte for byte.
//
// The root's "." record starts with the sharing protocol's indicator (SP)
// and announces the extension (ER); every record carries PX and TF; entries
// carry their name in NM (several with CONTINUE when it is longer than one
// field holds) and a link its target in SL.  Entries without POSIX
// attributes are files of mode 0444 or directories of mode 0555, owned by
// root, with the entry's time.
#ifndef ORVEX_IMAGE_ROCK_RIDGE_H_
#define ORVEX_IMAGE_ROCK_RIDGE_H_

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "tree/content_tree.h"

namespace orvex {

// The system use fields of one directory record, split: parts[0] lies in
// the record itself, every later part is a continuation piece (at most a
// sector).  Every part but the last ends with a continuation entry (CE)
// that TContinuationArea::Place points at the next part.
struct TSystemUse {
  std::vector<std::string> parts;

  // The bytes the record spends on its own part: padded to an even count,
  // so that the record keeps an even length.
  uint32_t RecordBytes() const {
    const size_t own = parts.empty() ? 0 : parts[0].size();
    return static_cast<uint32_t>(own + own % 2);
  }
};

// Splits `fields` for a record that has `room` bytes left after its
// identifier: as many fields as fit stay in the record, the rest go to
// continuation pieces, each field whole.
TSystemUse SplitSystemUse(const std::vector<std::string>& fields, uint32_t room);

// The system use areas of the primary tree's records.
class TRockRidgeFields {
 public:
  // `rational`: owner and group root, and modes made readable: read for
  // all, execute for all where anyone may execute, no write bits (the disc
  // is read-only wherever it is mounted); special bits are dropped.
  TRockRidgeFields(const TContentTree& tree, bool rational);

  // The "." record of `dir` (with `parent`: its ".." record).
  TSystemUse Dot(const TDirEntry& dir, bool parent) const;
  // The record(s) of an entry whose identifier takes `identifier_bytes`.
  TSystemUse Entry(const TFileEntry& entry, size_t identifier_bytes) const;

 private:
  struct TFacts;
  TFacts DirectoryFacts(const TDirEntry& dir) const;
  std::vector<std::string> Common(const TFacts& facts) const;

  const TContentTree& tree_;
  bool rational_;
  std::unordered_map<const TDirEntry*, const TFileEntry*> entries_;  // the entry standing for a directory
  std::unordered_map<const TDirEntry*, uint32_t> subdirectories_;
};

// The continuation sectors of one tree: pieces are placed one after another
// in the order they are given, none crossing a sector.
class TContinuationArea {
 public:
  // `first_block` is the absolute block of the area's first sector; with a
  // `buffer` the pieces are copied into it (grown as needed), without one
  // they are only counted.
  TContinuationArea(uint32_t first_block, std::vector<uint8_t>* buffer)
      : first_block_(first_block), buffer_(buffer) {}

  // Places every continuation piece of `system_use` and points the
  // continuation entry before each at it.
  void Place(TSystemUse& system_use);

  // The sectors used so far.
  uint32_t Sectors() const { return sectors_; }

 private:
  uint32_t first_block_;
  std::vector<uint8_t>* buffer_;
  uint32_t sectors_ = 0;
  uint32_t offset_ = 0;  // within the last sector; a fresh area has none open
};

}  // namespace orvex

#endif  // ORVEX_IMAGE_ROCK_RIDGE_H_
