// orvex: the command line of the Orvex disc writer.
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/commands.h"

namespace {

constexpr const char* kUsage =
    "usage: orvex COMMAND [options] [arguments]\n"
    "\n"
    "commands:\n"
    "  mkiso   build an ISO 9660 image from files and directories\n"
    "  ls      list the tree of an image\n"
    "\n"
    "orvex COMMAND --help shows a command's options.\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return orvex::cli::kExitUsage;
  }
  const std::string command = argv[1];
  if (command == "-h" || command == "--help" || command == "help") {
    std::fputs(kUsage, stdout);
    return orvex::cli::kExitOk;
  }
  if (command == "mkiso") return orvex::cli::RunMkiso(argc, argv);
  if (command == "ls") return orvex::cli::RunLs(argc, argv);
  std::fprintf(stderr, "orvex: unknown command %s\n%s", command.c_str(), kUsage);
  return orvex::cli::kExitUsage;
}
