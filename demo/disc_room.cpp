// SPDX-License-Identifier: Apache-2.0
#include "demo/disc_room.h"

#include <iterator>

#include "demo/number_format.h"

namespace orvex::demo {
namespace {

struct TCommonMedium {
  const char* name;
  uint32_t blocks;  // the recordable blocks of a blank one
};

// Smallest first.
constexpr TCommonMedium kCommonMedia[] = {
    {"CD", 359'847},           // 80 minutes
    {"DVD", 2'295'104},        // single layer
    {"DVD DL", 4'173'824},     // double layer
    {"BD", 12'219'392},        // single layer, 25 GB
    {"BD DL", 24'438'784},     // double layer, 50 GB
};

std::string Megabytes(uint32_t blocks) { return FormatNumber(blocks * 2048.0 / 1048576, 2, true) + " MB"; }

}  // namespace

TDiscRoom DiscRoom(uint32_t blocks, std::optional<uint32_t> free_blocks) {
  TDiscRoom room;
  if (free_blocks) {
    room.room = *free_blocks;
    room.fits = blocks <= *free_blocks;
    room.text = QString::fromStdString(Megabytes(blocks) + " of " + Megabytes(*free_blocks) + " free" +
                                       (room.fits ? "" : ": does not fit"));
    return room;
  }
  const TCommonMedium* medium = std::end(kCommonMedia) - 1;
  for (const TCommonMedium& candidate : kCommonMedia) {
    if (blocks <= candidate.blocks) {
      medium = &candidate;
      break;
    }
  }
  room.room = medium->blocks;
  room.fits = blocks <= medium->blocks;
  room.text = QString::fromStdString(Megabytes(blocks) + (room.fits ? ": fits a " : ": more than a ") + medium->name +
                                     " (" + Megabytes(medium->blocks) + ")");
  return room;
}

}  // namespace orvex::demo
