// SPDX-License-Identifier: Apache-2.0
// Rock Ridge as a session's primary tree carries it: entries of the system
// use sharing protocol in the system use area of each directory record (and
// in continuation areas elsewhere in the volume) that give an entry its
// POSIX name (NM), type, permissions, owner, link count and serial number
// (PX), times (TF) and a symbolic link's target (SL).
//
// Everything is untrusted input.  An entry is read only when its length is
// at least 4 and it lies whole within its area; a malformed one ends its
// area.  Continuation areas (CE) are followed at most kMaxContinuations
// times per record, never twice to the same place, and only when they lie
// whole within one sector of the source.  What could not be read whole is
// left out and `damaged` says so: an NM name still to be continued, or a
// link target whose components run past their entry, is dropped, so that
// the record keeps its plain ISO 9660 name.  Directories deeper than
// ISO 9660 allows are moved by their writers: CL in the record where the
// directory belongs names where it lies, RE marks its record there.
#ifndef ORVEX_SERVICES_ROCK_RIDGE_H_
#define ORVEX_SERVICES_ROCK_RIDGE_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "services/sector_reader.h"
#include "tree/posix_attributes.h"

namespace orvex {

constexpr int kMaxContinuations = 8;

// A volume whose primary tree carries Rock Ridge.
struct TRockRidgeVolume {
  uint8_t skip = 0;  // bytes at the start of each system use area before its first entry (SP)
};

// Reads the root's "." record, the first record of sector `root_extent`: its
// system use area must open with SP (check bytes BEh EFh), and name Rock
// Ridge by an ER entry (identifier RRIP_1991A, IEEE_P1282 or IEEE_1282) or,
// as older writers leave it, hold an RR or PX entry.  Empty when it does
// not, or the sector cannot be read.
std::optional<TRockRidgeVolume> DetectRockRidge(TSectorReader& source, uint32_t root_extent);

// What the system use area of one directory record says.
struct TRockRidgeEntry {
  std::optional<std::string> name;         // NM joined over its parts: whole, never empty,
                                           // ".", ".." or holding "/" or NUL
  std::optional<TPosixAttributes> posix;   // when PX was read; Name is `name` when there is one,
                                           // LinkTarget the SL components joined by "/"
  std::optional<uint32_t> child_link;      // CL: the record stands for the directory at this
                                           // sector, moved elsewhere by its writer
  bool relocated = false;                  // RE: the directory's own record, where it was moved to
  bool damaged = false;                    // something was malformed and left out
};

// Decodes `system_use` (a record's system use area) and the continuation
// areas it leads to.
TRockRidgeEntry DecodeRockRidge(TSectorReader& source, std::span<const uint8_t> system_use,
                                const TRockRidgeVolume& volume);

}  // namespace orvex

#endif  // ORVEX_SERVICES_ROCK_RIDGE_H_
