// SPDX-License-Identifier: Apache-2.0
// How an entry's two names are derived from its find data: the long name
// (UTF-16, what Joliet and ISO 9660:1999 show) and the 8-bit short name
// (what the plain ISO 9660 tree shows).
//
// Short names are stored in the 8-bit code page, UTF-8, and their lengths
// count bytes, so the writers always copy whole characters.  A short name
// whose 8-bit form is longer than kMaxShortNameBytes becomes "________.___".
// Characters are not validated: ISO 9660 d-characters are not enforced.  The
// tree keeps short names unique within a directory (see ShortNameKey).
#ifndef ORVEX_TREE_DISC_NAMES_H_
#define ORVEX_TREE_DISC_NAMES_H_

#include <string>
#include <string_view>

#include "platform/find_data.h"
#include "tree/entries.h"

namespace orvex {

// Long names of this many UTF-16 units or more are refused: every name a
// Linux file system holds (at most 255 bytes) fits, and the trees cut what
// their records cannot hold (see image/disc_identifiers.h).
constexpr size_t kLongNameLimit = 256;

// The widest 8.3 name with room for an appended "." stays inside the 16-byte
// ShortName field.
constexpr size_t kMaxShortNameBytes = 13;

// The 8-bit form of a short name, or the fallback when it does not fit.
std::string ShortNameBytes(std::u16string_view alternate);

// Long name, short name and their lengths of a file entry (also of the entry
// that stands for a directory in its parent: it gets no appended ".").  The
// long name given first stays the entry's FirstLongName.
void SetFileEntryNames(TFileEntry& entry, const WIN32_FIND_DATAW& fd);

// Long name, upper-case short name and their lengths of a directory.
void SetDirEntryNames(TDirEntry& dir, const WIN32_FIND_DATAW& fd);

// Replaces only the short name of an entry, and of the directory it stands
// for, by the one `alternate` gives (empty: derived from the long name), as
// the two routines above derive it.
void SetShortNames(TFileEntry& entry, std::u16string_view alternate);

// The form in which two short names of one directory clash: upper case and
// without a final "." (readers show "README." as "README").
std::string ShortNameKey(const TFileEntry& entry);

}  // namespace orvex

#endif  // ORVEX_TREE_DISC_NAMES_H_
