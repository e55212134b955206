// SPDX-License-Identifier: Apache-2.0
// How orvex-demo finds its drives, from its command line:
//
//   orvex-demo [--driver PATH] [--no-virtual] [--no-pass-through] [--log] [PATH...]
//
// By default the kernel's optical drives are used and, when there are
// none, the virtual burner's library, whose default drive is a DVD writer
// holding a DVD+R in the user's state directory (made blank on first use).
// --driver names another driver library, --no-virtual asks for the
// kernel's drives only, --no-pass-through for the library's only.  --log
// writes the drive layer's command log from the start.  The PATHs (folders and files) start the list of paths to burn.
#ifndef ORVEX_DEMO_STARTUP_OPTIONS_H_
#define ORVEX_DEMO_STARTUP_OPTIONS_H_

#include <QStringList>

#include <optional>
#include <string>

namespace orvex::demo {

struct TStartupOptions {
  std::string Driver;           // the driver library; empty: the default
  bool NoPassThrough = false;   // skip the kernel's drives
  std::string DebugLog;         // the drive layer's debug log; empty: none
  QStringList Paths;            // the paths to burn listed at the start
};

// The options of `arguments` (the program's name first), with the debug
// log in the user's state directory (orvexp.log) when --log asks for it.  Nothing, and `error`
// set, for an option it does not know or --driver without a path;
// `error` is "help" for -h and --help, "version" for --version.
std::optional<TStartupOptions> ParseStartupOptions(const QStringList& arguments, std::string& error);

// What orvex-demo --help prints.
extern const char* const kStartupUsage;

}  // namespace orvex::demo

#endif  // ORVEX_DEMO_STARTUP_OPTIONS_H_
