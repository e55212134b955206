#include "cli/drive_access.h"

#include <cstdio>

#include "cli/commands.h"
#include "cli/messages.h"

namespace orvex::cli {

bool OpenDrives(TOrvex& disc, const TCommandLine& args) {
  const bool ok = disc.InitializeASPI(args.Has("--no-pass-through"), args.Value("--driver"), args.Value("--log"));
  if (!ok || disc.DeviceCount() == 0) {
    const std::string why = disc.DriverLibraryProblem();
    Say("no drive found" + (why.empty() ? std::string() : ": " + why));
    return false;
  }
  return true;
}

int SelectDrive(TOrvex& disc, const TCommandLine& args, uint8_t* index) {
  const std::string text = args.Value("--device", "0");
  uint32_t number = 0;
  if (!ParseNumber(text, 25, number)) return Usage(args, "-d takes a drive number from 0 to 25");
  if (!OpenDrives(disc, args)) return kExitFailed;
  if (number >= disc.DeviceCount()) {
    Say("there is no drive " + text + " (" + std::to_string(disc.DeviceCount()) + " found)");
    return kExitFailed;
  }
  if (!disc.SelectDevice(static_cast<uint8_t>(number))) {
    Say("drive " + text + " does not answer: " + disc.ErrorString());
    return kExitFailed;
  }
  if (index != nullptr) *index = static_cast<uint8_t>(number);
  return -1;
}

}  // namespace orvex::cli
