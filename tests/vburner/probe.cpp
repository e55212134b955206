// SPDX-License-Identifier: Apache-2.0
// A second process for the persistence tests: opens the driver library
// named on the command line (configured by ORVEX_VBURNER), reads blocks
// from a drive and prints an FNV-1a hash of them, or the sense of the
// failure: "ok HASH" / "sense KK/AA/QQ".
//
// usage: vburner_probe LIBRARY HA:TARGET:LUN LBA COUNT
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "drive/srb.h"

int main(int argc, char** argv) {
  unsigned ha, target, lun;
  if (argc != 5 || std::sscanf(argv[2], "%u:%u:%u", &ha, &target, &lun) != 3) return 2;
  void* library = dlopen(argv[1], RTLD_NOW);
  if (library == nullptr) return 3;
  auto support = reinterpret_cast<orvex::GetASPI32SupportInfoFn>(dlsym(library, "GetASPI32SupportInfo"));
  auto send = reinterpret_cast<orvex::SendASPI32CommandFn>(dlsym(library, "SendASPI32Command"));
  if (support == nullptr || send == nullptr || support() == 0) return 4;
  const unsigned long lba = std::strtoul(argv[3], nullptr, 10);
  const unsigned count = static_cast<unsigned>(std::strtoul(argv[4], nullptr, 10));
  std::vector<uint8_t> data(size_t{count} * 2048);
  orvex::TSRB_ExecSCSICmd srb{};
  srb.SRB_Cmd = orvex::kSrbExecSCSICmd;
  srb.SRB_HaId = static_cast<uint8_t>(ha);
  srb.SRB_Target = static_cast<uint8_t>(target);
  srb.SRB_Lun = static_cast<uint8_t>(lun);
  srb.SRB_Flags = orvex::kSrbDataIn;  // no post event: the call returns the answer
  srb.SRB_BufLen = static_cast<uint32_t>(data.size());
  srb.SRB_BufPointer = data.data();
  srb.SRB_SenseLen = 24;
  srb.SRB_CDBLen = 10;
  const uint8_t cdb[10] = {0x28, 0, static_cast<uint8_t>(lba >> 24), static_cast<uint8_t>(lba >> 16),
                           static_cast<uint8_t>(lba >> 8), static_cast<uint8_t>(lba), 0,
                           static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count), 0};
  std::memcpy(srb.CDBByte, cdb, sizeof cdb);
  if (send(&srb) != orvex::kSrbStatusDone) {
    std::printf("sense %02X/%02X/%02X\n", srb.SenseArea[2] & 0x0F, srb.SenseArea[12], srb.SenseArea[13]);
    return 0;
  }
  uint64_t hash = 1469598103934665603ull;
  for (uint8_t b : data) hash = (hash ^ b) * 1099511628211ull;
  std::printf("ok %016llx\n", static_cast<unsigned long long>(hash));
  return 0;
}
