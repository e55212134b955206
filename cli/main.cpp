// orvex: the command line of the Orvex disc writer.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/json_report.h"

namespace {

struct TCommand {
  const char* name;
  const char* summary;
  int (*run)(int argc, char** argv);
};

// Each command is one row.
constexpr TCommand kCommands[] = {
    {"mkiso", "build an ISO 9660 image from files and directories", orvex::cli::RunMkiso},
    {"ls", "list the tree of an image", orvex::cli::RunLs},
    {"devices", "list the optical drives", orvex::cli::RunDevices},
    {"info", "show what a drive and its medium can do", orvex::cli::RunInfo},
    {"burn", "burn files and directories to a disc", orvex::cli::RunBurn},
    {"burn-image", "burn an image file to a disc", orvex::cli::RunBurnImage},
    {"erase", "erase a rewritable disc", orvex::cli::RunErase},
    {"verify", "compare a burned disc with its sources", orvex::cli::RunVerifyCommand},
    {"label", "show the volume label of a disc's session", orvex::cli::RunLabel},
};

std::string Usage() {
  std::string usage = "usage: orvex COMMAND [options] [arguments]\n\ncommands:\n";
  for (const TCommand& command : kCommands) {
    char line[128];
    std::snprintf(line, sizeof line, "  %-10s %s\n", command.name, command.summary);
    usage += line;
  }
  return usage + "\norvex COMMAND --help shows a command's options.\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(Usage().c_str(), stderr);
    return orvex::cli::kExitUsage;
  }
  const std::string name = argv[1];
  if (name == "-h" || name == "--help" || name == "help") {
    std::fputs(Usage().c_str(), stdout);
    return orvex::cli::kExitOk;
  }
  for (const TCommand& command : kCommands) {
    if (name == command.name) return orvex::cli::TReport::Current().Finish(name, command.run(argc, argv));
  }
  std::fprintf(stderr, "orvex: unknown command %s\n%s", name.c_str(), Usage().c_str());
  return orvex::cli::kExitUsage;
}
