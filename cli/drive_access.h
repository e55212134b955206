// What every drive command shares: the options that find the drives
// (--driver, --no-pass-through, --log) and choose one (-d N), their help,
// and the speed unit of a medium's family.
#ifndef ORVEX_CLI_DRIVE_ACCESS_H_
#define ORVEX_CLI_DRIVE_ACCESS_H_

#include <string>
#include <vector>

#include "cli/command_line.h"
#include "component/orvex.h"

namespace orvex::cli {

extern const char* const kDriveOptionsHelp;

// A command's own options followed by the drive options and -h.
std::vector<TOptionSpec> WithDriveOptions(std::vector<TOptionSpec> own);

// Finds the drives: through the named driver library, else the default one
// on the search path, else the virtual burner's library beside this
// program.  False, with the reason said, when there is none.
bool OpenDrives(TOrvex& disc, const TCommandLine& args);

// Finds the drives and selects drive -d N (default 0; `index` gets it).
// Returns -1 when it is selected, else the exit status (the message is out;
// `usage` is shown for a bad -d).
int SelectDrive(TOrvex& disc, const TCommandLine& args, const char* usage, uint8_t* index = nullptr);

// The help of a command (its `usage` text, then the drive options), and a
// usage error.
int Help(const char* usage);
int Usage(const char* usage, const std::string& error);

}  // namespace orvex::cli

#endif  // ORVEX_CLI_DRIVE_ACCESS_H_
