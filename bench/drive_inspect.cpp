// SPDX-License-Identifier: Apache-2.0
// The drive layer's own costs against the virtual burner: finding 8 drives
// (InitializeASPI) and asking one everything `orvex info` asks, and how many
// commands a second pass through the driver library (TEST UNIT READY), with
// the burner completing them through the post event and at once; then the
// same rate through a library that answers at once on the calling thread,
// which leaves only the host side's cost.
//
//   drive_inspect [--seconds S]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "component/orvex.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// Everything orvex info asks of a drive.
void Inspect(orvex::TOrvex& disc) {
  disc.SelectDevice(0);
  disc.DiscIs();
  disc.DiscStatus();
  disc.SessionsOnDisc();
  disc.Writable();
  disc.Erasable();
  disc.FreeBlocksOnDisc();
  disc.TotalBlocksOnDisc();
  disc.ReadDeviceBuffer();
  disc.ReadSpeed();
  disc.WriteSpeed();
  disc.MaxWriteSpeed();
  disc.DeviceMaxReadSpeed();
  disc.DeviceMaxWriteSpeed();
  for (uint8_t id = 1; id <= 42; ++id) disc.DeviceCan(id);
}

// Commands per second through the library for `seconds`.
double CommandRate(orvex::TOrvex& disc, double seconds) {
  uint64_t commands = 0;
  const auto start = Clock::now();
  while (Seconds(start) < seconds) {
    for (int i = 0; i < 1000; ++i) disc.TestUnitReady();
    commands += 1000;
  }
  return static_cast<double>(commands) / Seconds(start);
}

// Eight drives, the first holding `medium`.
std::string Drives(const std::string& medium, bool synchronous) {
  std::string description;
  for (int target = 0; target < 8; ++target) {
    description += "0:" + std::to_string(target) + ":0,class=bd-writer" + (target == 0 ? ",medium=" + medium : "") +
                   (synchronous ? ",sync=1" : "") + ";";
  }
  return description + "timescale=0";
}

}  // namespace

int main(int argc, char** argv) {
  const std::string library = VBURNER_LIBRARY;
  const double seconds = argc >= 3 && std::string(argv[1]) == "--seconds" ? std::atof(argv[2]) : 3.0;
  const std::string medium = "/tmp/drive_inspect.vmed";
  std::remove(medium.c_str());
  if (std::system(("\"$(dirname " + library + ")/orvex-vburner\" new dvd+r " + medium + " >/dev/null").c_str()) != 0) {
    std::fprintf(stderr, "drive_inspect: cannot make %s with orvex-vburner beside the library\n", medium.c_str());
    return 1;
  }
  std::printf("| completion | InitializeASPI ms | inspection ms | TEST UNIT READY / s |\n|---|---|---|---|\n");
  for (const bool synchronous : {false, true}) {
    setenv("ORVEX_VBURNER", Drives(medium, synchronous).c_str(), 1);
    orvex::TOrvex disc(nullptr);
    const auto found = Clock::now();
    if (!disc.InitializeASPI(true, library, "") || disc.DeviceCount() != 8) {
      std::fprintf(stderr, "drive_inspect: %s found %u drives: %s\n", library.c_str(), disc.DeviceCount(),
                   disc.DriverLibraryProblem().c_str());
      return 1;
    }
    const double enumerate = Seconds(found) * 1000;
    const auto inspected = Clock::now();
    Inspect(disc);
    const double inspect = Seconds(inspected) * 1000;
    std::printf("| virtual burner, %s | %.2f | %.2f | %.0f |\n", synchronous ? "at once" : "post event", enumerate,
                inspect, CommandRate(disc, seconds));
  }
  std::remove(medium.c_str());
  orvex::TOrvex disc(nullptr);
  if (!disc.InitializeASPI(true, INSTANT_DRIVER, "") || !disc.SelectDevice(0)) {
    std::fprintf(stderr, "drive_inspect: the instant driver: %s\n", disc.DriverLibraryProblem().c_str());
    return 1;
  }
  std::printf("| instant driver (the host side alone) | | | %.0f |\n", CommandRate(disc, seconds));
  return 0;
}
