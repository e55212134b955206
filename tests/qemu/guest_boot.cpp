// SPDX-License-Identifier: Apache-2.0
#include "qemu/guest_boot.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "support/run_tool.h"

namespace orvex::test {
namespace {

// The runner's exit status for "this machine cannot run the guest".
constexpr int kCannotRun = 77;

// The guest's /init splits each line at its first space and prints the
// name in its markers, so a name holds neither spaces nor anything a
// marker could be confused by, and a command stays on its line.
bool WellFormed(const std::pair<std::string, std::string>& command) {
  const auto& [name, line] = command;
  const auto name_char = [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
  };
  return !name.empty() && std::all_of(name.begin(), name.end(), name_char) && !line.empty() &&
         line.find_first_of("\r\n") == std::string::npos;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

TGuestRun RunInGuest(const TGuestSpec& spec, const std::string& work_dir) {
  TGuestRun run;
  const std::string commands = work_dir + "/commands";
  const std::string console = work_dir + "/console.log";
  {
    std::ofstream out(commands, std::ios::binary);
    for (const auto& command : spec.commands) {
      if (!WellFormed(command)) {
        run.message = "a guest command is malformed: " + command.first;
        return run;
      }
      out << command.first << ' ' << command.second << '\n';
    }
  }
  std::vector<std::string> argv = {ORVEX_GUEST_RUNNER, "--image", spec.image, "--commands", commands,
                                   "--console", console};
  for (const std::string& program : spec.programs) {
    argv.push_back("--bin");
    argv.push_back(program);
  }
  const TToolResult result = RunTool(argv);
  run.message = result.err;
  while (!run.message.empty() && run.message.back() == '\n') run.message.pop_back();
  run.console_text = ReadFile(console);
  run.console = ReadGuestConsole(run.console_text);
  run.outcome = result.status == 0            ? TGuestOutcome::Ran
                : result.status == kCannotRun ? TGuestOutcome::CannotRun
                                              : TGuestOutcome::Failed;
  return run;
}

}  // namespace orvex::test
