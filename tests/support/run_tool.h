// SPDX-License-Identifier: Apache-2.0
// Running programs from the tests: peer tools that judge our images, and our
// own command line.
#ifndef ORVEX_TESTS_SUPPORT_RUN_TOOL_H_
#define ORVEX_TESTS_SUPPORT_RUN_TOOL_H_

#include <sys/types.h>

#include <string>
#include <vector>

namespace orvex::test {

struct TToolResult {
  int status = -1;  // the exit status, -1 when the tool could not run or was killed
  std::string out;
  std::string err;
};

// A program started in the background (no shell), its outputs captured in
// files so that neither can fill up while it runs.
class TRunningTool {
 public:
  explicit TRunningTool(const std::vector<std::string>& argv);
  ~TRunningTool();
  TRunningTool(const TRunningTool&) = delete;
  TRunningTool& operator=(const TRunningTool&) = delete;

  void Signal(int signal) const;
  // Waits, at most `seconds`, until it blocks `signal` (reads it through a
  // descriptor rather than dying of it); false when it did not.
  bool WaitUntilBlocking(int signal, int seconds) const;
  // What it has written to standard error so far.
  std::string ErrorSoFar() const;
  // Waits for its end.
  TToolResult Finish();
  // Waits for its end, at most `seconds`: then it is killed, and the
  // status is -1.
  TToolResult FinishWithin(int seconds);

 private:
  pid_t pid_ = -1;
  int out_fd_ = -1, err_fd_ = -1;
  std::string out_name_, err_name_;
};

// Runs `argv` to its end, capturing both outputs.
TToolResult RunTool(const std::vector<std::string>& argv);

bool ToolAvailable(const std::string& name);

}  // namespace orvex::test

#endif  // ORVEX_TESTS_SUPPORT_RUN_TOOL_H_
