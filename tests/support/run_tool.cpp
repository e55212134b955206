// SPDX-License-Identifier: Apache-2.0
#include "support/run_tool.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

extern char** environ;

namespace orvex::test {
namespace {

std::string ReadAll(int fd) {
  std::string out;
  lseek(fd, 0, SEEK_SET);
  char buffer[65536];
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<size_t>(n));
  return out;
}

int TemporaryFile(std::string& name) {
  char pattern[] = "/tmp/orvex-tool-XXXXXX";
  const int fd = mkstemp(pattern);
  name = pattern;
  return fd;
}

}  // namespace

TRunningTool::TRunningTool(const std::vector<std::string>& argv) {
  out_fd_ = TemporaryFile(out_name_);
  err_fd_ = TemporaryFile(err_name_);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out_fd_, 1);
  posix_spawn_file_actions_adddup2(&actions, err_fd_, 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
}

TRunningTool::~TRunningTool() {
  if (pid_ > 0) Finish();
  close(out_fd_);
  close(err_fd_);
  unlink(out_name_.c_str());
  unlink(err_name_.c_str());
}

void TRunningTool::Signal(int signal) const {
  if (pid_ > 0) kill(pid_, signal);
}

bool TRunningTool::WaitUntilBlocking(int signal, int seconds) const {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  const unsigned long long bit = 1ull << (signal - 1);
  while (std::chrono::steady_clock::now() < give_up) {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("SigBlk:", 0) == 0 && (std::stoull(line.substr(7), nullptr, 16) & bit) != 0) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

std::string TRunningTool::ErrorSoFar() const {
  std::ifstream in(err_name_, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TToolResult TRunningTool::FinishWithin(int seconds) {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  while (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= give_up) kill(pid_, SIGKILL);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  TToolResult result;
  if (pid_ > 0) result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  pid_ = -1;
  result.out = ReadAll(out_fd_);
  result.err = ReadAll(err_fd_);
  return result;
}

TToolResult TRunningTool::Finish() {
  TToolResult result;
  if (pid_ > 0) {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  result.out = ReadAll(out_fd_);
  result.err = ReadAll(err_fd_);
  return result;
}

TToolResult RunTool(const std::vector<std::string>& argv) { return TRunningTool(argv).Finish(); }

bool ToolAvailable(const std::string& name) {
  return RunTool({"sh", "-c", "command -v " + name}).status == 0;
}

}  // namespace orvex::test
