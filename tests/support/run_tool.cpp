#include "support/run_tool.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace orvex::test {
namespace {

std::string ReadAll(int fd) {
  std::string out;
  char buffer[65536];
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<size_t>(n));
  return out;
}

}  // namespace

TToolResult RunTool(const std::vector<std::string>& argv) {
  TToolResult result;
  // Both outputs go to files: a pipe could fill up while we wait.
  char out_name[] = "/tmp/orvex-tool-out-XXXXXX";
  char err_name[] = "/tmp/orvex-tool-err-XXXXXX";
  const int out_fd = mkstemp(out_name);
  const int err_fd = mkstemp(err_name);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
  posix_spawn_file_actions_adddup2(&actions, err_fd, 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  lseek(out_fd, 0, SEEK_SET);
  lseek(err_fd, 0, SEEK_SET);
  result.out = ReadAll(out_fd);
  result.err = ReadAll(err_fd);
  close(out_fd);
  close(err_fd);
  unlink(out_name);
  unlink(err_name);
  return result;
}

bool ToolAvailable(const std::string& name) {
  return RunTool({"sh", "-c", "command -v " + name}).status == 0;
}

}  // namespace orvex::test
