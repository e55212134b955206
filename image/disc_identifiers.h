// SPDX-License-Identifier: Apache-2.0
// The identifiers entries carry in the image's long-name trees, shared by
// the layout (which sizes the records) and the writers (which fill them).
//
// Each tree holds names up to its own limit: Joliet 103 UTF-16 units (a
// record could hold 110, but some readers cut every Joliet name at 103, so
// longer ones would read back differently from one reader to the next),
// ISO 9660:1999 221 bytes of the 8-bit form (a 254-byte record), UDF 127
// units.  A longer name is cut there, never inside a character.  Within one
// directory the Joliet and ISO 9660:1999 trees hold no two identifiers that
// are equal ignoring case, and UDF none that the cut made so: a name the cut
// makes equal to one before it in the directory's order, or (in the first
// two) a whole name differing from one before it only in case, gets the end
// of its cut replaced by "~N", keeping its extension ("report~1.txt").  UDF
// keeps whole names differing only in case as they are.
// Characters with no form on disc (the stand-ins for bytes of a source name
// that are not UTF-8) are written as "_", and so is "\" in the Joliet and
// ISO 9660:1999 trees, whose readers (ours among them) take it for a path
// separator; a POSIX name may hold it, and Rock Ridge and UDF keep it.
#ifndef ORVEX_IMAGE_DISC_IDENTIFIERS_H_
#define ORVEX_IMAGE_DISC_IDENTIFIERS_H_

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

#include "tree/content_tree.h"

namespace orvex {

constexpr size_t kMaxJolietUnits = 103;
constexpr size_t kMaxIso1999Bytes = 221;
// With Rock Ridge a record of the primary tree keeps room for a continuation
// entry (28 bytes) within its 255: its identifier holds at most this many.
constexpr size_t kMaxIso1999BytesRockRidge = 193;
constexpr size_t kMaxUdfUnits = 127;

// The trees of an image that carry long names.
struct TLongNameTrees {
  bool joliet = false;
  bool iso1999 = false;
  bool udf = false;
  size_t iso1999_bytes = kMaxIso1999Bytes;  // the ISO 9660:1999 identifiers' limit
};

// Gives every entry (and every directory) its identifiers for `trees`,
// kept in `store` (emptied first): entries whose names need no change keep
// none (Identifiers null).  Each directory's list must be in its final order.
void AssignDiscIdentifiers(TContentTree& tree, const TLongNameTrees& trees, std::deque<TDiscIdentifiers>& store);

// An entry's or a directory's identifier in one tree, as assigned (the
// views live as long as the entry's names).
std::u16string_view JolietIdentifier(const TFileEntry& entry);
std::u16string_view JolietIdentifier(const TDirEntry& dir);
std::string Iso1999Identifier(const TFileEntry& entry);
std::string Iso1999Identifier(const TDirEntry& dir);
// A directory's UDF name is its own long name, a file's the name it was
// first given (FirstLongName).
std::u16string_view UdfIdentifier(const TFileEntry& entry);

}  // namespace orvex

#endif  // ORVEX_IMAGE_DISC_IDENTIFIERS_H_
