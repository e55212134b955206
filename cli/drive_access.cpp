// SPDX-License-Identifier: Apache-2.0
#include "cli/drive_access.h"

#include <cstdio>
#include <cstring>

#include "cli/commands.h"
#include "cli/json_report.h"
#include "cli/messages.h"

namespace orvex::cli {

std::string InquiryWords(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != ' ' || (!out.empty() && out.back() != ' ')) out += text[i];
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::string DriveLabel(const TOrvex& disc) {
  return "drive " + std::to_string(disc.SelectedDevice()) + " (" +
         Printable(InquiryWords(disc.DeviceVendor() + " " + disc.DeviceProduct())) + ")";
}

std::string AccessNote(const TDeviceAccessProblem& problem) {
  const std::string said = Printable(problem.path) + " exists but cannot be opened (" + std::strerror(problem.error) + "): ";
  if (problem.group.empty()) return said + "ask for access to it";
  const std::string group = Printable(problem.group);
  return said + "add yourself to the group " + group + " (sudo usermod -aG " + group + " $USER) and log in again";
}

void SayAccessProblems(const TOrvex& disc) {
  TJson list = TJson::Array();
  for (const TDeviceAccessProblem& problem : disc.DriveAccessProblems()) {
    Say(AccessNote(problem));
    TJson entry = TJson::Object();
    entry.Text("path", problem.path)
        .Text("error", std::strerror(problem.error))
        .Number("system_error", problem.error)
        .Text("group", problem.group)
        .Text("note", AccessNote(problem));
    list.Append(entry);
  }
  TReport::Current().Fields().Nested("inaccessible", list);
}

bool OpenDrives(TOrvex& disc, const TCommandLine& args) {
  const bool ok = disc.InitializeASPI(args.Has("--no-pass-through"), args.Value("--driver"), args.Value("--log"));
  if (!ok || disc.DeviceCount() == 0) {
    SayAccessProblems(disc);
    const std::string why = disc.DriverLibraryProblem();
    Say("no drive found" + (why.empty() ? std::string() : ": " + why));
    return false;
  }
  return true;
}

std::string DriveLine(const TOrvex& disc, uint8_t index) {
  const std::string name = disc.GetDeviceName(index);
  const size_t comma = name.find(',');
  const size_t colon = comma == std::string::npos ? std::string::npos : name.find(':', comma);
  if (colon == std::string::npos) return name;
  const std::string path = disc.GetDevicePath(index);
  return name.substr(0, comma) + (path.empty() ? "" : "," + path) + name.substr(colon);
}

namespace {

// Whether `text` has the shape of a SCSI address: three numbers and two colons.
bool LooksLikeAddress(const std::string& text) {
  unsigned h = 0, t = 0, l = 0;
  char end = 0;
  return std::sscanf(text.c_str(), "%u:%u:%u%c", &h, &t, &l, &end) == 3;
}

}  // namespace

int SelectDrive(TOrvex& disc, const TCommandLine& args, uint8_t* index) {
  const std::string text = args.Value("--device", "0");
  uint32_t number = 0;
  const bool numbered = ParseNumber(text, 25, number);
  if (!numbered && !LooksLikeAddress(text) && text.rfind("/", 0) != 0) {
    return Usage(args, "-d takes a drive number from 0 to 25, an address H:T:L or a device path");
  }
  if (!OpenDrives(disc, args)) return kExitFailed;
  if (!numbered) number = static_cast<uint32_t>(disc.FindDevice(text));
  if (number >= disc.DeviceCount()) {
    SayAccessProblems(disc);
    std::string drives;
    for (uint8_t i = 0; i < disc.DeviceCount(); ++i) {
      drives += (i == 0 ? ": " : "; ") + std::to_string(i) + " " + Printable(InquiryWords(DriveLine(disc, i)));
    }
    Say("there is no drive " + Printable(text) + " (" + std::to_string(disc.DeviceCount()) + " found" + drives + ")");
    return kExitFailed;
  }
  if (!disc.SelectDevice(static_cast<uint8_t>(number))) {
    Say("drive " + text + " does not answer: " + disc.ErrorString());
    return kExitFailed;
  }
  if (index != nullptr) *index = static_cast<uint8_t>(number);
  TJson drive = TJson::Object();
  drive.Number("index", number)
      .Text("name", disc.GetDeviceName(static_cast<uint8_t>(number)))
      .Text("vendor", InquiryWords(disc.DeviceVendor()))
      .Text("product", InquiryWords(disc.DeviceProduct()));
  TReport::Current().Fields().Nested("drive", drive);
  return -1;
}

bool MoveTray(TOrvex& disc, bool eject) {
  const bool done = eject ? disc.EjectMedium(false) : disc.LoadMedium(false);
  TReport::Current().Fields().Flag(eject ? "ejected" : "loaded", done);
  if (done) return true;
  const TOrvex::TErrorInfo error = disc.TakeError();
  TReport::Current().Failed(error);
  const std::string why = error.Drive.Failed ? error.Drive.Text : FailureMessage(error);
  Say(std::string("the disc could not be ") + (eject ? "ejected" : "loaded") + (why.empty() ? "" : ": " + why));
  return false;
}

}  // namespace orvex::cli
