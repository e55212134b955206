// SPDX-License-Identifier: Apache-2.0
#include "demo/startup_options.h"

#include "component/orvex.h"

namespace orvex::demo {

const char* const kStartupUsage =
    "usage: orvex-demo [--driver PATH] [--no-virtual] [--no-pass-through] [--log] [PATH...]\n"
    "  PATH                a folder or file to list for burning\n"
    "  --driver PATH       the driver library to ask when the kernel shows no\n"
    "                      optical drive (default: the virtual burner's)\n"
    "  --no-virtual        the kernel's drives only, no driver library\n"
    "  --no-pass-through   the driver library's drives only\n"
    "  --log               write the drive command log (orvex/orvexp.log in the\n"
    "                      user's state directory)\n"
    "  -h, --help          this help\n"
    "  --version           print the program's name and version\n";

std::optional<TStartupOptions> ParseStartupOptions(const QStringList& arguments, std::string& error) {
  TStartupOptions options;
  bool no_virtual = false, log = false;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument == "--driver" && i + 1 < arguments.size() && !arguments[i + 1].isEmpty()) {
      options.Driver = arguments[++i].toStdString();
    } else if (argument == "--no-virtual") {
      no_virtual = true;
    } else if (argument == "--no-pass-through") {
      options.NoPassThrough = true;
    } else if (argument == "--log") {
      log = true;
    } else if (argument == "-h" || argument == "--help") {
      error = "help";
      return std::nullopt;
    } else if (argument == "--version") {
      error = "version";
      return std::nullopt;
    } else if (!argument.startsWith('-')) {
      options.Paths << argument;
    } else {
      error = argument == "--driver" ? "--driver takes a library's path" : "unknown option " + argument.toStdString();
      return std::nullopt;
    }
  }
  if (no_virtual && !options.Driver.empty()) {
    error = "--no-virtual and --driver exclude each other";
    return std::nullopt;
  }
  if (no_virtual) options.Driver = kNoDriverLibrary;
  const std::string state = log ? UserStateDirectory() : "";
  if (!state.empty()) options.DebugLog = state + "/orvexp.log";
  return options;
}

}  // namespace orvex::demo
