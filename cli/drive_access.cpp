#include "cli/drive_access.h"

#include <cstdio>
#include <cstring>

#include "cli/commands.h"
#include "cli/json_report.h"
#include "cli/messages.h"

namespace orvex::cli {

const char* const kDriveOptionsHelp =
    "  -d, --device N        the drive, as orvex devices numbers them (default 0)\n"
    "  --driver PATH         the driver library to ask when the kernel shows no\n"
    "                        optical drive (default: the virtual burner's, on the\n"
    "                        library search path or beside this program)\n"
    "  --no-pass-through     ask the driver library only, not the kernel's drives\n"
    "  --log FILE            write every command sent to FILE\n"
    "  --json                print the result as one JSON object\n"
    "  -h, --help            this help\n";

std::vector<TOptionSpec> WithDriveOptions(std::vector<TOptionSpec> own) {
  for (const TOptionSpec& spec : std::vector<TOptionSpec>{{{"--driver"}, true},
                                                          {{"--no-pass-through"}, false},
                                                          {{"--log"}, true},
                                                          {{"-d", "--device"}, true},
                                                          JsonOption(),
                                                          {{"-h", "--help"}, false}}) {
    own.push_back(spec);
  }
  return own;
}

std::string InquiryWords(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != ' ' || (!out.empty() && out.back() != ' ')) out += text[i];
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
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

int SelectDrive(TOrvex& disc, const TCommandLine& args, const char* usage, uint8_t* index) {
  const std::string text = args.Value("--device", "0");
  uint32_t number = 0;
  if (!ParseNumber(text, 25, number)) return Usage(usage, "-d takes a drive number from 0 to 25");
  if (!OpenDrives(disc, args)) return kExitFailed;
  if (number >= disc.DeviceCount()) {
    SayAccessProblems(disc);
    Say("there is no drive " + text + " (" + std::to_string(disc.DeviceCount()) + " found)");
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

int Help(const char* usage) {
  std::printf("%s%s", usage, kDriveOptionsHelp);
  return kExitOk;
}

int Usage(const char* usage, const std::string& error) {
  std::fprintf(stderr, "orvex: %s\n%s%s", error.c_str(), usage, kDriveOptionsHelp);
  return kExitUsage;
}

}  // namespace orvex::cli
