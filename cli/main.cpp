// SPDX-License-Identifier: Apache-2.0
// orvex: the command line of the Orvex disc writer.
#include <cstdio>
#include <string>

#include "cli/command_docs.h"
#include "cli/commands.h"
#include "cli/json_report.h"
#include "manual/help_text.h"

namespace {

struct TCommand {
  const char* name;  // as cli/command_docs.cpp describes it
  int (*run)(int argc, char** argv);
};

constexpr TCommand kCommands[] = {
    {"mkiso", orvex::cli::RunMkiso},     {"ls", orvex::cli::RunLs},
    {"devices", orvex::cli::RunDevices}, {"info", orvex::cli::RunInfo},
    {"burn", orvex::cli::RunBurn},       {"burn-image", orvex::cli::RunBurnImage},
    {"erase", orvex::cli::RunErase},     {"verify", orvex::cli::RunVerifyCommand},
    {"label", orvex::cli::RunLabel},     {"eject", orvex::cli::RunEject},
    {"load", orvex::cli::RunLoad},       {"toc", orvex::cli::RunToc},
};

std::string Usage() { return orvex::manual::ProgramHelp(orvex::cli::OrvexProgram()); }

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
  if (name == "--version") {
    std::printf("%s\n", orvex::manual::VersionLine(orvex::cli::OrvexProgram()).c_str());
    return orvex::cli::kExitOk;
  }
  for (const TCommand& command : kCommands) {
    if (name != command.name) continue;
    orvex::cli::TReport::Current().Begin(name);
    return orvex::cli::TReport::Current().Finish(command.run(argc, argv));
  }
  std::fprintf(stderr, "orvex: unknown command %s\nsee 'orvex --help'\n", name.c_str());
  return orvex::cli::kExitUsage;
}
