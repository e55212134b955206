#include "cli/drive_access.h"

#include <cstdio>

#include "cli/commands.h"
#include "cli/messages.h"

namespace orvex::cli {

const char* const kDriveOptionsHelp =
    "  -d, --device N        the drive, as orvex devices numbers them (default 0)\n"
    "  --driver PATH         the driver library to ask when the kernel shows no\n"
    "                        optical drive (default: the virtual burner's, on the\n"
    "                        library search path or beside this program)\n"
    "  --no-pass-through     ask the driver library only, not the kernel's drives\n"
    "  --log FILE            write every command sent to FILE\n"
    "  -h, --help            this help\n";

std::vector<TOptionSpec> WithDriveOptions(std::vector<TOptionSpec> own) {
  for (const TOptionSpec& spec : std::vector<TOptionSpec>{{{"--driver"}, true},
                                                          {{"--no-pass-through"}, false},
                                                          {{"--log"}, true},
                                                          {{"-d", "--device"}, true},
                                                          {{"-h", "--help"}, false}}) {
    own.push_back(spec);
  }
  return own;
}

bool OpenDrives(TOrvex& disc, const TCommandLine& args) {
  const bool ok = disc.InitializeASPI(args.Has("--no-pass-through"), args.Value("--driver"), args.Value("--log"));
  if (!ok || disc.DeviceCount() == 0) {
    const std::string why = disc.DriverLibraryProblem();
    Say("no drive found" + (why.empty() ? std::string() : ": " + why));
    return false;
  }
  return true;
}

int SelectDrive(TOrvex& disc, const TCommandLine& args, const char* usage, uint8_t* index) {
  const std::string text = args.Value("--device", "0");
  uint32_t number = 0;
  if (!ParseNumber(text, 25, number)) return Usage(usage, "-d takes a drive number from 0 to 25");
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

int Help(const char* usage) {
  std::printf("%s%s", usage, kDriveOptionsHelp);
  return kExitOk;
}

int Usage(const char* usage, const std::string& error) {
  std::fprintf(stderr, "orvex: %s\n%s%s", error.c_str(), usage, kDriveOptionsHelp);
  return kExitUsage;
}

}  // namespace orvex::cli
