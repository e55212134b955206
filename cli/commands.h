// SPDX-License-Identifier: Apache-2.0
// The orvex commands.  Each returns the process exit status: 0 on success,
// 1 when the job fails, 2 for a usage error.
#ifndef ORVEX_CLI_COMMANDS_H_
#define ORVEX_CLI_COMMANDS_H_

namespace orvex::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// orvex mkiso: builds an image file from files and directories.
int RunMkiso(int argc, char** argv);

// orvex ls: lists the tree of an image file.
int RunLs(int argc, char** argv);

// orvex devices: lists the optical drives.
int RunDevices(int argc, char** argv);

// orvex info: shows what a drive and its medium can do.
int RunInfo(int argc, char** argv);

// orvex toc: lists the sessions and tracks of a drive's disc.
int RunToc(int argc, char** argv);

// orvex eject, load: open and close the drive's tray.
int RunEject(int argc, char** argv);
int RunLoad(int argc, char** argv);

// orvex burn, burn-image, erase, verify, label: the jobs on a drive's disc.
int RunBurn(int argc, char** argv);
int RunBurnImage(int argc, char** argv);
int RunErase(int argc, char** argv);
int RunVerifyCommand(int argc, char** argv);
int RunLabel(int argc, char** argv);

}  // namespace orvex::cli

#endif  // ORVEX_CLI_COMMANDS_H_
