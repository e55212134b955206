#include "drive/medium.h"

#include <cstddef>
#include <iterator>

namespace orvex {
namespace {

struct TProfileRow {
  uint16_t profile;
  TMedium medium;
  const char* name;
};

// One row per kind of medium, in the enumeration's order.
constexpr TProfileRow kProfiles[] = {
    {0x0000, TMedium::mtUNKNOWN, "no or unknown medium"},
    {0x0008, TMedium::mtCDROM, "CD-ROM"},
    {0x0009, TMedium::mtCDR, "CD-R"},
    {0x000A, TMedium::mtCDRW, "CD-RW"},
    {0x0010, TMedium::mtDVDROM, "DVD-ROM"},
    {0x0011, TMedium::mtDVDR, "DVD-R"},
    {0x0012, TMedium::mtDVDRAM, "DVD-RAM"},
    {0xFFFF, TMedium::mtDVDRW, "DVD-RW"},  // never a drive's answer
    {0x0013, TMedium::mtDVDRWRO, "DVD-RW (restricted overwrite)"},
    {0x0014, TMedium::mtDVDRWSR, "DVD-RW (sequential)"},
    {0x001A, TMedium::mtDVDPLUSRW, "DVD+RW"},
    {0x001B, TMedium::mtDVDPLUSR, "DVD+R"},
    {0x002B, TMedium::mtDVDPLUSRDL, "DVD+R DL"},
    {0x0040, TMedium::mtBDROM, "BD-ROM"},
    {0x0041, TMedium::mtBDRSR, "BD-R (sequential)"},
    {0x0042, TMedium::mtBDRRR, "BD-R (random)"},
    {0x0043, TMedium::mtBDRE, "BD-RE"},
    {0x0050, TMedium::mtHDDVDROM, "HD DVD-ROM"},
    {0x0051, TMedium::mtHDDVDR, "HD DVD-R"},
    {0x0052, TMedium::mtHDDVDRAM, "HD DVD-RAM"},
    {0x0020, TMedium::mtDDCDROM, "DDCD-ROM"},
    {0x0021, TMedium::mtDDCDR, "DDCD-R"},
    {0x0022, TMedium::mtDDCDRW, "DDCD-RW"},
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

bool WrittenInPlace(TMedium medium) {
  switch (medium) {
    case TMedium::mtDVDPLUSRW:
    case TMedium::mtDVDRWRO:
    case TMedium::mtDVDRWSR:
    case TMedium::mtDVDRAM:
    case TMedium::mtBDRE:
      return true;
    default:
      return false;
  }
}

}  // namespace orvex
