// orvex devices / orvex info: the drives of the machine, and what one of
// them and its medium can do.
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/messages.h"
#include "component/orvex.h"

namespace orvex::cli {
namespace {

constexpr const char* kDriveOptionsHelp =
    "  --driver PATH       the driver library to ask when the kernel shows no optical\n"
    "                      drive (default: the virtual burner's, on the library search\n"
    "                      path or beside this program)\n"
    "  --no-pass-through   ask the driver library only, not the kernel's drives\n"
    "  --log FILE          write every command sent to FILE\n"
    "  -h, --help          this help\n";

const std::vector<TOptionSpec> kDriveOptions = {
    {{"--driver"}, true}, {{"--no-pass-through"}, false}, {{"--log"}, true},
    {{"-d", "--device"}, true}, {{"-h", "--help"}, false},
};

constexpr const char* kVirtualBurnerLibrary = "liborvex-vburner.so";

std::string ExecutableDirectory() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "";
  const std::string exe(path, static_cast<size_t>(n));
  return exe.substr(0, exe.rfind('/'));
}

// Finds the drives: the named driver library, else the default one on the
// search path, else the virtual burner's library beside this program.
bool OpenDrives(TOrvex& disc, const TCommandLine& args) {
  const bool no_pass_through = args.Has("--no-pass-through");
  const std::string log = args.Value("--log");
  bool ok = false;
  if (args.Has("--driver")) {
    ok = disc.InitializeASPI(no_pass_through, args.Value("--driver"), log);
  } else {
    ok = disc.InitializeASPI(no_pass_through, "", log);
    const std::string beside = ExecutableDirectory() + "/" + kVirtualBurnerLibrary;
    if (!ok && access(beside.c_str(), R_OK) == 0) ok = disc.InitializeASPI(no_pass_through, beside, log);
  }
  if (!ok || disc.DeviceCount() == 0) {
    const std::string why = disc.DriverLibraryProblem();
    Say("no drive found" + (why.empty() ? std::string() : ": " + why));
    return false;
  }
  return true;
}

int Help(const char* usage) {
  std::printf("%s%s", usage, kDriveOptionsHelp);
  return kExitOk;
}

int Usage(const char* usage, const std::string& error) {
  std::fprintf(stderr, "orvex: %s\n%s%s", error.c_str(), usage, kDriveOptionsHelp);
  return kExitUsage;
}

// KB/s per "x" for the medium's family: DVD, BD and HD DVD, else CD.
double SpeedUnit(TMedium medium) {
  const int m = static_cast<int>(medium);
  return m >= 4 && m <= 12 ? 1385.0 : m >= 13 && m <= 19 ? 4495.5 : 176.46;
}

// "16x (22,160 KB/s)", as the desktop program lists speeds.
std::string Speed(uint16_t kilobytes, double unit) {
  std::string digits = std::to_string(kilobytes);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(static_cast<size_t>(i), ",");
  return std::to_string(std::lround(kilobytes / unit)) + "x (" + digits + " KB/s)";
}

std::string Blocks(uint32_t blocks) {
  char text[64];
  std::snprintf(text, sizeof text, "%u (%.1f MiB)", blocks, blocks * 2048.0 / (1024 * 1024));
  return text;
}

const char* DiscStatusName(int status) {
  static const char* const kNames[] = {"empty", "appendable", "complete", "other"};
  return status >= 0 && status <= 3 ? kNames[status] : "unknown";
}

struct TCapability {
  uint8_t id;
  const char* name;
};

// In the order of their identifiers.
constexpr TCapability kCapabilities[] = {
    {1, "read CD-R"},         {2, "read CD-RW"},        {3, "read DVD-RAM"},       {4, "read DVD-R"},
    {5, "read DVD-RW"},       {6, "read DVD+R"},        {7, "read DVD+RW"},        {8, "read DVD+R DL"},
    {9, "read HD DVD-ROM"},   {10, "read HD DVD-R"},    {11, "read HD DVD-RAM"},   {12, "read BD-ROM"},
    {13, "read BD-R"},        {14, "read BD-RE"},       {21, "write CD-R"},        {22, "write CD-RW"},
    {23, "write DVD-RAM"},    {24, "write DVD-R"},      {25, "write DVD-RW"},      {26, "write DVD+R"},
    {27, "write DVD+RW"},     {28, "write DVD+R DL"},   {29, "write HD DVD-R"},    {30, "write HD DVD-RAM"},
    {31, "write BD-R"},       {32, "write BD-RE"},      {41, "test write"},        {42, "underrun protection"},
};

void Field(const char* name, const std::string& value) {
  std::printf("%-22s %s\n", (std::string(name) + ":").c_str(), value.c_str());
}

const char* YesNo(bool value) { return value ? "yes" : "no"; }

}  // namespace

int RunDevices(int argc, char** argv) {
  static const char* kUsage = "usage: orvex devices [options]\n\nLists the optical drives, one row per drive: its index and its name.\n\noptions:\n";
  const TCommandLine args(argc, argv, 2, kDriveOptions);
  if (!args.Error().empty()) return Usage(kUsage, args.Error());
  if (args.Has("--help")) return Help(kUsage);
  if (!args.Operands().empty() || args.Has("--device")) return Usage(kUsage, "devices takes no drive and no operand");
  TOrvex disc(nullptr);
  if (!OpenDrives(disc, args)) return kExitFailed;
  for (uint16_t i = 0; i < disc.DeviceCount(); ++i) {
    std::printf("%u: %s\n", i, Printable(disc.GetDeviceName(static_cast<uint8_t>(i))).c_str());
  }
  return kExitOk;
}

int RunInfo(int argc, char** argv) {
  static const char* kUsage =
      "usage: orvex info [-d N] [options]\n\nShows what drive N (default 0, as orvex devices numbers them) and its\n"
      "medium can do: the medium, its state and room, the drive's buffer and speeds,\nand its capabilities.\n\n"
      "options:\n  -d, --device N      the drive\n";
  const TCommandLine args(argc, argv, 2, kDriveOptions);
  if (!args.Error().empty()) return Usage(kUsage, args.Error());
  if (args.Has("--help")) return Help(kUsage);
  if (!args.Operands().empty()) return Usage(kUsage, "info takes no operand");
  const std::string index_text = args.Value("--device", "0");
  uint32_t index = 0;
  if (!ParseNumber(index_text, 25, index)) return Usage(kUsage, "-d takes a drive number from 0 to 25");

  TOrvex disc(nullptr);
  if (!OpenDrives(disc, args)) return kExitFailed;
  if (index >= disc.DeviceCount()) {
    Say("there is no drive " + index_text + " (" + std::to_string(disc.DeviceCount()) + " found)");
    return kExitFailed;
  }
  if (!disc.SelectDevice(static_cast<uint8_t>(index))) {
    Say("drive " + index_text + " does not answer: " + disc.ErrorString());
    return kExitFailed;
  }
  const TMedium medium = disc.DiscIs();
  const double unit = SpeedUnit(medium);
  Field("drive", Printable(disc.GetDeviceName(static_cast<uint8_t>(index))));
  Field("vendor", Printable(disc.DeviceVendor()));
  Field("product", Printable(disc.DeviceProduct()));
  Field("medium", MediumName(medium));
  Field("disc status", DiscStatusName(disc.DiscStatus()));
  Field("sessions", std::to_string(disc.SessionsOnDisc()));
  Field("writable", YesNo(disc.Writable()));
  Field("erasable", YesNo(disc.Erasable()));
  Field("free blocks", Blocks(disc.FreeBlocksOnDisc()));
  Field("total blocks", Blocks(disc.TotalBlocksOnDisc()));
  disc.ReadDeviceBuffer();
  Field("buffer size", std::to_string(disc.DeviceBufferSize()) + " bytes");
  Field("buffer fill", std::to_string(disc.DeviceBufferPosition()) + " bytes");
  Field("read speed", Speed(disc.ReadSpeed(), unit));
  Field("write speed", Speed(disc.WriteSpeed(), unit));
  Field("max write speed", Speed(disc.MaxWriteSpeed(), unit));
  Field("drive max read speed", Speed(disc.DeviceMaxReadSpeed(), unit));
  Field("drive max write speed", Speed(disc.DeviceMaxWriteSpeed(), unit));
  Field("burner", YesNo(disc.DeviceIsBurner()));
  for (const TCapability& c : kCapabilities) Field(c.name, YesNo(disc.DeviceCan(c.id)));
  return kExitOk;
}

}  // namespace orvex::cli
