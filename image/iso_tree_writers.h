// SPDX-License-Identifier: Apache-2.0
// The path tables and directory extents of one ISO 9660 tree (primary or
// Joliet), at the sectors and with the sizes the layout fixed.
#ifndef ORVEX_IMAGE_ISO_TREE_WRITERS_H_
#define ORVEX_IMAGE_ISO_TREE_WRITERS_H_

#include "image/header_sink.h"
#include "image/image_layout.h"
#include "image/iso_records.h"

namespace orvex {

// The path table in path table order, type L (little-endian fields) or type
// M (big-endian), zero-padded to whole sectors.  `area` is the first sector
// of the tree's directories.
void WritePathTable(const TImageLayout& layout, const TIsoTree& tree, uint32_t area, bool type_m,
                    THeaderSink& sink);

// Every directory's extent in table order: ".", "..", then a record per
// entry of its sorted list (several for a multi-extent file); records never
// cross a sector.  The primary tree of a Rock Ridge layout is followed by
// its continuation sectors.
void WriteDirectories(const TImageLayout& layout, const TIsoTree& tree, uint32_t area,
                      THeaderSink& sink);

}  // namespace orvex

#endif  // ORVEX_IMAGE_ISO_TREE_WRITERS_H_
