// SPDX-License-Identifier: Apache-2.0
// Where the UDF bridge's structures go: the fixed volume structure sectors,
// and the file entries and directory data allocated depth first.
#ifndef ORVEX_IMAGE_UDF_LAYOUT_H_
#define ORVEX_IMAGE_UDF_LAYOUT_H_

#include <cstdint>

#include "image/image_layout.h"

namespace orvex {

// The fixed locations, with the recognition sequence at `recognition_sector`
// (the sector after the ISO 9660 terminator); also takes the image time.
// Returns the first sector after the file set descriptor sequence (259).
uint32_t PlaceUdfVolumeStructures(TImageLayout& layout, uint32_t recognition_sector);

// Gives every directory a file entry and directory data, and every other
// entry a file entry, from sector `start` on, in the order the structure
// stream produces them: a directory's file entry, its data, then its list,
// entering each subdirectory where it stands.  Returns the sectors taken.
uint32_t AllocateUdfFileStructures(TImageLayout& layout, uint32_t start);

// The size of one file identifier descriptor for a name of `units` UTF-16
// units (cut to the 127 an identifier can hold).
uint32_t FileIdentifierSize(size_t units);

}  // namespace orvex

#endif  // ORVEX_IMAGE_UDF_LAYOUT_H_
