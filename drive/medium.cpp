#include "drive/medium.h"

#include <cstddef>
#include <iterator>

namespace orvex {
namespace {

struct TProfileRow {
  uint16_t profile;
  TMedium medium;
  const char* name;
  const char* identifier;  // the enumerator's name
};

// One row per kind of medium, in the enumeration's order.
constexpr TProfileRow kProfiles[] = {
    {0x0000, TMedium::mtUNKNOWN, "no or unknown medium", "mtUNKNOWN"},
    {0x0008, TMedium::mtCDROM, "CD-ROM", "mtCDROM"},
    {0x0009, TMedium::mtCDR, "CD-R", "mtCDR"},
    {0x000A, TMedium::mtCDRW, "CD-RW", "mtCDRW"},
    {0x0010, TMedium::mtDVDROM, "DVD-ROM", "mtDVDROM"},
    {0x0011, TMedium::mtDVDR, "DVD-R", "mtDVDR"},
    {0x0012, TMedium::mtDVDRAM, "DVD-RAM", "mtDVDRAM"},
    {0xFFFF, TMedium::mtDVDRW, "DVD-RW", "mtDVDRW"},  // never a drive's answer
    {0x0013, TMedium::mtDVDRWRO, "DVD-RW (restricted overwrite)", "mtDVDRWRO"},
    {0x0014, TMedium::mtDVDRWSR, "DVD-RW (sequential)", "mtDVDRWSR"},
    {0x001A, TMedium::mtDVDPLUSRW, "DVD+RW", "mtDVDPLUSRW"},
    {0x001B, TMedium::mtDVDPLUSR, "DVD+R", "mtDVDPLUSR"},
    {0x002B, TMedium::mtDVDPLUSRDL, "DVD+R DL", "mtDVDPLUSRDL"},
    {0x0040, TMedium::mtBDROM, "BD-ROM", "mtBDROM"},
    {0x0041, TMedium::mtBDRSR, "BD-R (sequential)", "mtBDRSR"},
    {0x0042, TMedium::mtBDRRR, "BD-R (random)", "mtBDRRR"},
    {0x0043, TMedium::mtBDRE, "BD-RE", "mtBDRE"},
    {0x0050, TMedium::mtHDDVDROM, "HD DVD-ROM", "mtHDDVDROM"},
    {0x0051, TMedium::mtHDDVDR, "HD DVD-R", "mtHDDVDR"},
    {0x0052, TMedium::mtHDDVDRAM, "HD DVD-RAM", "mtHDDVDRAM"},
    {0x0020, TMedium::mtDDCDROM, "DDCD-ROM", "mtDDCDROM"},
    {0x0021, TMedium::mtDDCDR, "DDCD-R", "mtDDCDR"},
    {0x0022, TMedium::mtDDCDRW, "DDCD-RW", "mtDDCDRW"},
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
