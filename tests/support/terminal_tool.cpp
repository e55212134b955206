// SPDX-License-Identifier: Apache-2.0
#include "support/terminal_tool.h"

#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace orvex::test {

TToolResult RunToolInTerminal(const std::vector<std::string>& argv, unsigned short columns) {
  termios modes{};
  cfmakeraw(&modes);
  winsize size{};
  size.ws_row = 24;
  size.ws_col = columns;
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  TToolResult result;
  int terminal = -1;
  const pid_t pid = forkpty(&terminal, nullptr, &modes, &size);
  if (pid < 0) return result;
  if (pid == 0) {
    execvp(args[0], args.data());
    _exit(127);
  }
  // Reading ends with EIO once the program and its children have closed
  // the terminal.
  char buffer[4096];
  for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) > 0;) result.out.append(buffer, static_cast<size_t>(n));
  close(terminal);
  int status = 0;
  waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace orvex::test
