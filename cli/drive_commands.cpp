// orvex devices / orvex info: the drives of the machine, and what one of
// them and its medium can do.
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_docs.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/drive_access.h"
#include "cli/messages.h"
#include "component/orvex.h"

namespace orvex::cli {
namespace {

// "16x (22,160 KB/s)", as the desktop program lists speeds.
std::string Speed(uint16_t kilobytes, double unit) {
  const std::string plain = std::to_string(kilobytes);
  std::string digits;
  for (size_t i = 0; i < plain.size(); ++i) {
    if (i > 0 && (plain.size() - i) % 3 == 0) digits += ',';
    digits += plain[i];
  }
  char text[48];
  std::snprintf(text, sizeof text, "%ldx (%s KB/s)", std::lround(kilobytes / unit), digits.c_str());
  return text;
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
  const TCommandLine args(argc, argv, 2, CommandDoc("devices"));
  if (const int stop = AnswerHelpOrError(args); stop >= 0) return stop;
  if (!args.Operands().empty()) return Usage(args, "devices takes no operand");
  TOrvex disc(nullptr);
  if (!OpenDrives(disc, args)) return kExitFailed;
  for (uint16_t i = 0; i < disc.DeviceCount(); ++i) {
    std::printf("%u: %s\n", i, Printable(disc.GetDeviceName(static_cast<uint8_t>(i))).c_str());
  }
  return kExitOk;
}

int RunInfo(int argc, char** argv) {
  const TCommandLine args(argc, argv, 2, CommandDoc("info"));
  if (const int stop = AnswerHelpOrError(args); stop >= 0) return stop;
  if (!args.Operands().empty()) return Usage(args, "info takes no operand");
  TOrvex disc(nullptr);
  uint8_t index = 0;
  if (const int failed = SelectDrive(disc, args, &index); failed >= 0) return failed;
  const TMedium medium = disc.DiscIs();
  const double unit = SpeedUnit(medium);
  Field("drive", Printable(disc.GetDeviceName(index)));
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
