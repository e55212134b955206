// Running programs from the tests: peer tools that judge our images, and our
// own command line.
#ifndef ORVEX_TESTS_SUPPORT_RUN_TOOL_H_
#define ORVEX_TESTS_SUPPORT_RUN_TOOL_H_

#include <string>
#include <vector>

namespace orvex::test {

struct TToolResult {
  int status = -1;  // the exit status, -1 when the tool could not run or was killed
  std::string out;
  std::string err;
};

// Runs `argv` (no shell), capturing both outputs.
TToolResult RunTool(const std::vector<std::string>& argv);

bool ToolAvailable(const std::string& name);

}  // namespace orvex::test

#endif  // ORVEX_TESTS_SUPPORT_RUN_TOOL_H_
