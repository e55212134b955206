// SPDX-License-Identifier: Apache-2.0
#include "drive/medium.h"

#include <cstddef>
#include <iterator>

#include "drive/mmc_records.h"

namespace orvex {
namespace {

struct TProfileRow {
  uint16_t profile;
  TMedium medium;
  const char* name;
  const char* identifier;  // the enumerator's name
  bool rewritable;         // what the erasable bit of its disc information says
};

// One row per kind of medium, in the enumeration's order.
constexpr TProfileRow kProfiles[] = {
    {0x0000, TMedium::mtUNKNOWN, "no or unknown medium", "mtUNKNOWN", false},
    {0x0008, TMedium::mtCDROM, "CD-ROM", "mtCDROM", false},
    {0x0009, TMedium::mtCDR, "CD-R", "mtCDR", false},
    {0x000A, TMedium::mtCDRW, "CD-RW", "mtCDRW", true},
    {0x0010, TMedium::mtDVDROM, "DVD-ROM", "mtDVDROM", false},
    {0x0011, TMedium::mtDVDR, "DVD-R", "mtDVDR", false},
    {0x0012, TMedium::mtDVDRAM, "DVD-RAM", "mtDVDRAM", true},
    {0xFFFF, TMedium::mtDVDRW, "DVD-RW", "mtDVDRW", true},  // never a drive's answer
    {0x0013, TMedium::mtDVDRWRO, "DVD-RW (restricted overwrite)", "mtDVDRWRO", true},
    {0x0014, TMedium::mtDVDRWSR, "DVD-RW (sequential)", "mtDVDRWSR", true},
    {0x001A, TMedium::mtDVDPLUSRW, "DVD+RW", "mtDVDPLUSRW", true},
    {0x001B, TMedium::mtDVDPLUSR, "DVD+R", "mtDVDPLUSR", false},
    {0x002B, TMedium::mtDVDPLUSRDL, "DVD+R DL", "mtDVDPLUSRDL", false},
    {0x0040, TMedium::mtBDROM, "BD-ROM", "mtBDROM", false},
    {0x0041, TMedium::mtBDRSR, "BD-R (sequential)", "mtBDRSR", false},
    {0x0042, TMedium::mtBDRRR, "BD-R (random)", "mtBDRRR", false},
    {0x0043, TMedium::mtBDRE, "BD-RE", "mtBDRE", true},
    {0x0050, TMedium::mtHDDVDROM, "HD DVD-ROM", "mtHDDVDROM", false},
    {0x0051, TMedium::mtHDDVDR, "HD DVD-R", "mtHDDVDR", false},
    {0x0052, TMedium::mtHDDVDRAM, "HD DVD-RAM", "mtHDDVDRAM", true},
    {0x0020, TMedium::mtDDCDROM, "DDCD-ROM", "mtDDCDROM", false},
    {0x0021, TMedium::mtDDCDR, "DDCD-R", "mtDDCDR", false},
    {0x0022, TMedium::mtDDCDRW, "DDCD-RW", "mtDDCDRW", true},
};

}  // namespace

TMedium MediumOfProfile(uint16_t profile) {
  for (const TProfileRow& row : kProfiles) {
    if (row.profile == profile && row.medium != TMedium::mtDVDRW) return row.medium;
  }
  return TMedium::mtUNKNOWN;
}

const char* MediumName(TMedium medium) {
  const auto index = static_cast<size_t>(medium);
  return index < std::size(kProfiles) ? kProfiles[index].name : kProfiles[0].name;
}

const char* MediumIdentifier(TMedium medium) {
  const auto index = static_cast<size_t>(medium);
  return index < std::size(kProfiles) ? kProfiles[index].identifier : kProfiles[0].identifier;
}

double SpeedUnit(TMedium medium) {
  const int m = static_cast<int>(medium);
  if (m >= static_cast<int>(TMedium::mtDVDROM) && m <= static_cast<int>(TMedium::mtDVDPLUSRDL)) return 1385.0;
  if (m >= static_cast<int>(TMedium::mtBDROM) && m <= static_cast<int>(TMedium::mtHDDVDRAM)) return 4495.5;
  return 176.46;
}

bool Rewritable(TMedium medium) {
  const auto index = static_cast<size_t>(medium);
  return index < std::size(kProfiles) && kProfiles[index].rewritable;
}

TMedium MediumOfDvdBook(uint8_t book, uint8_t layers, bool fixed_packet) {
  switch (book) {
    case kBookDvdRom: return TMedium::mtDVDROM;
    case kBookDvdRam: return TMedium::mtDVDRAM;
    case kBookDvdR: return layers == 1 ? TMedium::mtDVDR : TMedium::mtUNKNOWN;
    case kBookDvdRw: return fixed_packet ? TMedium::mtDVDRWRO : TMedium::mtDVDRWSR;
    case kBookDvdPlusRw: return layers == 1 ? TMedium::mtDVDPLUSRW : TMedium::mtUNKNOWN;
    case kBookDvdPlusR: return layers == 1 ? TMedium::mtDVDPLUSR : TMedium::mtDVDPLUSRDL;
    case kBookDvdPlusRDl: return TMedium::mtDVDPLUSRDL;
    default: return TMedium::mtUNKNOWN;
  }
}

TMedium MediumOfBdDisc(TBdDisc disc) {
  switch (disc) {
    case TBdDisc::kRom: return TMedium::mtBDROM;
    case TBdDisc::kRecordable: return TMedium::mtBDRSR;
    case TBdDisc::kRewritable: return TMedium::mtBDRE;
    case TBdDisc::kNone: break;
  }
  return TMedium::mtUNKNOWN;
}

bool WrittenInPlace(TMedium medium) {
  switch (medium) {
    case TMedium::mtDVDPLUSRW:
    case TMedium::mtDVDRWRO:
    case TMedium::mtDVDRAM:
    case TMedium::mtBDRE:
      return true;
    default:
      return false;
  }
}

}  // namespace orvex
