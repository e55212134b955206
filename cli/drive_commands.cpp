// SPDX-License-Identifier: Apache-2.0
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
#include "cli/job_wait.h"
#include "cli/json_report.h"
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
  if (!JsonOutput()) std::printf("%-22s %s\n", (std::string(name) + ":").c_str(), value.c_str());
}

TJson SpeedFields(uint16_t kilobytes, double unit) {
  TJson speed = TJson::Object();
  speed.Number("kilobytes_per_second", kilobytes).Number("times", std::lround(kilobytes / unit));
  return speed;
}

// The capabilities as {"read": {"CD-R": true, ...}, "write": {...},
// "test_write": true, "underrun_protection": true}, from the table's names.
TJson CapabilityFields(TOrvex& disc) {
  TJson read = TJson::Object(), write = TJson::Object(), all = TJson::Object();
  for (const TCapability& c : kCapabilities) {
    const std::string name = c.name;
    const bool can = disc.DeviceCan(c.id);
    if (name.rfind("read ", 0) == 0) {
      read.Flag(name.substr(5), can);
    } else if (name.rfind("write ", 0) == 0) {
      write.Flag(name.substr(6), can);
    } else {
      all.Flag(name == "test write" ? "test_write" : "underrun_protection", can);
    }
  }
  return TJson::Object().Nested("read", read).Nested("write", write).Merge(all);
}

// What info shows, as the report's fields (beside "drive").
TJson InfoFields(TOrvex& disc) {
  const TMedium medium = disc.DiscIs();
  const double unit = SpeedUnit(medium);
  TJson media = TJson::Object();
  media.Text("type", MediumName(medium))
      .Text("status", DiscStatusName(disc.DiscStatus()))
      .Number("sessions", disc.SessionsOnDisc())
      .Flag("writable", disc.Writable())
      .Flag("erasable", disc.Erasable())
      .Number("free_blocks", disc.FreeBlocksOnDisc())
      .Number("total_blocks", disc.TotalBlocksOnDisc());
  TJson buffer = TJson::Object();
  buffer.Number("size", disc.DeviceBufferSize()).Number("fill", disc.DeviceBufferPosition());
  TJson speeds = TJson::Object();
  speeds.Nested("read", SpeedFields(disc.ReadSpeed(), unit))
      .Nested("write", SpeedFields(disc.WriteSpeed(), unit))
      .Nested("max_write", SpeedFields(disc.MaxWriteSpeed(), unit))
      .Nested("drive_max_read", SpeedFields(disc.DeviceMaxReadSpeed(), unit))
      .Nested("drive_max_write", SpeedFields(disc.DeviceMaxWriteSpeed(), unit));
  TJson fields = TJson::Object();
  fields.Nested("medium", media).Nested("buffer", buffer).Nested("speeds", speeds);
  fields.Flag("burner", disc.DeviceIsBurner()).Nested("capabilities", CapabilityFields(disc));
  return fields;
}

const char* YesNo(bool value) { return value ? "yes" : "no"; }

// What info says about drive `index` and its medium, on standard output
// and in the report.
void ShowInfo(TOrvex& disc, uint8_t index) {
  const TMedium medium = disc.DiscIs();
  const double unit = SpeedUnit(medium);
  Field("drive", Printable(DriveLine(disc, index)));
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
  TReport::Current().Fields().Merge(InfoFields(disc));
}

// eject or load: the tray of drive -d N.
int RunTray(int argc, char** argv, bool eject) {
  const char* name = eject ? "eject" : "load";
  const TCommandLine args(argc, argv, 2, CommandDoc(name));
  if (const int stop = AnswerHelpOrError(args); stop >= 0) return stop;
  if (!args.Operands().empty()) return Usage(args, std::string(name) + " takes no operand");
  TSignalWatch signals;  // as for devices
  TOrvex disc(nullptr);
  int failed = -1;
  RunOrExit(disc, signals, "looking for the drive", [&] { failed = SelectDrive(disc, args); });
  if (failed >= 0) return failed;
  bool moved = false;
  RunOrExit(disc, signals, eject ? "ejecting the disc" : "loading the disc", [&] { moved = MoveTray(disc, eject); });
  if (!moved) return kExitFailed;
  if (!JsonOutput()) std::printf("%s: %s\n", DriveLabel(disc).c_str(), eject ? "ejected" : "loaded");
  return kExitOk;
}

}  // namespace

int RunEject(int argc, char** argv) { return RunTray(argc, argv, true); }
int RunLoad(int argc, char** argv) { return RunTray(argc, argv, false); }

int RunDevices(int argc, char** argv) {
  const TCommandLine args(argc, argv, 2, CommandDoc("devices"));
  if (const int stop = AnswerHelpOrError(args); stop >= 0) return stop;
  if (!args.Operands().empty()) return Usage(args, "devices takes no operand");
  // Watched before the drive layer starts threads, which inherit the
  // blocked signals: a stop ends a search that a drive holds up.
  TSignalWatch signals;
  TOrvex disc(nullptr);
  bool found = false;
  RunOrExit(disc, signals, "looking for the drives", [&] { found = OpenDrives(disc, args); });
  if (!found) return kExitFailed;
  SayAccessProblems(disc);
  TJson drives = TJson::Array();
  for (uint16_t i = 0; i < disc.DeviceCount(); ++i) {
    const std::string name = disc.GetDeviceName(static_cast<uint8_t>(i));
    const std::string path = disc.GetDevicePath(static_cast<uint8_t>(i));
    if (!JsonOutput()) std::printf("%u: %s\n", i, Printable(DriveLine(disc, static_cast<uint8_t>(i))).c_str());
    drives.Append(TJson::Object().Number("index", i).Text("name", name).Text("path", path));
  }
  TReport::Current().Fields().Nested("drives", drives);
  return kExitOk;
}

int RunInfo(int argc, char** argv) {
  const TCommandLine args(argc, argv, 2, CommandDoc("info"));
  if (const int stop = AnswerHelpOrError(args); stop >= 0) return stop;
  if (!args.Operands().empty()) return Usage(args, "info takes no operand");
  TSignalWatch signals;  // as for devices
  TOrvex disc(nullptr);
  uint8_t index = 0;
  int failed = -1;
  RunOrExit(disc, signals, "looking for the drive", [&] { failed = SelectDrive(disc, args, &index); });
  if (failed >= 0) return failed;
  RunOrExit(disc, signals, "asking the drive", [&] { ShowInfo(disc, index); });
  return kExitOk;
}

}  // namespace orvex::cli
