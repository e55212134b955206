// SPDX-License-Identifier: Apache-2.0
// The kinds of medium a drive can hold, and the MMC profile that names each.
#ifndef ORVEX_DRIVE_MEDIUM_H_
#define ORVEX_DRIVE_MEDIUM_H_

#include <cstdint>

#include "drive/mmc_records.h"

namespace orvex {

enum class TMedium : uint8_t {
  mtUNKNOWN = 0, mtCDROM = 1, mtCDR = 2, mtCDRW = 3, mtDVDROM = 4, mtDVDR = 5, mtDVDRAM = 6,
  mtDVDRW = 7, mtDVDRWRO = 8, mtDVDRWSR = 9, mtDVDPLUSRW = 10, mtDVDPLUSR = 11, mtDVDPLUSRDL = 12,
  mtBDROM = 13, mtBDRSR = 14, mtBDRRR = 15, mtBDRE = 16, mtHDDVDROM = 17, mtHDDVDR = 18,
  mtHDDVDRAM = 19, mtDDCDROM = 20, mtDDCDR = 21, mtDDCDRW = 22,
};

// The medium a current profile stands for; mtUNKNOWN for no medium and for
// every profile without a kind of its own (DVD-R DL, DVD+RW DL and others).
TMedium MediumOfProfile(uint16_t profile);

// Media whose blocks are rewritten in place (DVD+RW, restricted-overwrite
// DVD-RW, DVD-RAM, BD-RE): a new image goes after the one on them, and
// readers find the newest only through a copy of its start at block 0.  A
// sequential DVD-RW takes sessions, as a DVD-R does.
bool WrittenInPlace(TMedium medium);

// Media whose disc information carries the erasable bit: CD-RW, every
// DVD-RW, DVD+RW, DVD-RAM, BD-RE, HD DVD-RAM and DDCD-RW.
bool Rewritable(TMedium medium);

// The medium a DVD's physical format names by its book type and layers
// (DVD-RW by the way track 1 is written: in fixed packets only when
// restricted overwrite); mtUNKNOWN for the kinds without one of ours
// (DVD-R DL, DVD+RW DL) and for other books.
TMedium MediumOfDvdBook(uint8_t book, uint8_t layers, bool fixed_packet);
// The medium a BD's disc information names: a BD-R is taken to be
// recorded sequentially, the mode a blank one starts in.
TMedium MediumOfBdDisc(TBdDisc disc);

// The medium's name in words ("DVD+R", "BD-RE"), as front ends show it.
const char* MediumName(TMedium medium);

// The enumerator's name ("mtDVDPLUSRW"), as the desktop program logs it.
const char* MediumIdentifier(TMedium medium);

// The KB/s (1000 bytes) of speed 1x for the medium's family: 1385.0 for
// DVD, 4495.5 for Blu-ray and HD DVD, 176.46 for CD, double-density CD and
// no medium recognised.
double SpeedUnit(TMedium medium);

}  // namespace orvex

#endif  // ORVEX_DRIVE_MEDIUM_H_
