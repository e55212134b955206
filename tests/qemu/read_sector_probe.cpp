// SPDX-License-Identifier: Apache-2.0
// Reads one sector through the drive layer, as the write and verify jobs
// do: the drive table over the kernel's pass-through, drive 0 selected,
// ReadSectors of 2048 bytes.  Usage: read_sector_probe LBA; the sector goes
// to standard output, the reason for a failure to standard error (exit 1).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "drive/device_enumeration.h"
#include "drive/transfer_rate.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: read_sector_probe LBA\n");
    return 2;
  }
  const uint32_t lba = static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10));
  orvex::TSCSIDevice device;
  std::string why;
  if (!orvex::EnumerateDevices(device, false, "/nonexistent/no-driver-library.so", "", &why)) {
    std::fprintf(stderr, "read_sector_probe: no drive: %s\n", why.c_str());
    return 1;
  }
  if (!orvex::SelectDevice(device, 0)) {
    std::fprintf(stderr, "read_sector_probe: drive 0 cannot be selected\n");
    return 1;
  }
  std::vector<uint8_t> sector(2048);
  if (!orvex::ReadSectors(device, lba, 1, sector.data())) {
    std::fprintf(stderr, "read_sector_probe: READ(10) of block %u failed, sense %02X/%02X\n", lba,
                 device.LastSenseInfo.AddSenseCode, device.LastSenseInfo.AddSenQual);
    return 1;
  }
  return std::fwrite(sector.data(), 1, sector.size(), stdout) == sector.size() ? 0 : 1;
}
