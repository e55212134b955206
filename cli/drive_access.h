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

// The words of fixed-width INQUIRY fields, single-spaced.
std::string InquiryWords(const std::string& text);

// "/dev/sr0 exists but cannot be opened (Permission denied): add yourself
// to the group cdrom (sudo usermod -aG cdrom $USER) and log in again".
std::string AccessNote(const TDeviceAccessProblem& problem);

// Says the note of every kernel drive the last search could not open, and
// lists them as the report's "inaccessible".
void SayAccessProblems(const TOrvex& disc);

// Finds the drives: through the named driver library, else the default one
// on the search path, else the virtual burner's library beside this
// program.  False, with the reason said, when there is none (with the
// kernel's drives that could not be opened).
bool OpenDrives(TOrvex& disc, const TCommandLine& args);

// Finds the drives and selects drive -d N (default 0; `index` gets it,
// the report's "drive" tells it).
// Returns -1 when it is selected, else the exit status (the message is out;
// `usage` is shown for a bad -d).
int SelectDrive(TOrvex& disc, const TCommandLine& args, const char* usage, uint8_t* index = nullptr);

// The help of a command (its `usage` text, then the drive options), and a
// usage error.
int Help(const char* usage);
int Usage(const char* usage, const std::string& error);

}  // namespace orvex::cli

#endif  // ORVEX_CLI_DRIVE_ACCESS_H_
