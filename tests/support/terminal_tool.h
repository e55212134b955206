// SPDX-License-Identifier: Apache-2.0
// Running a program on a pseudo-terminal of a given width, to see what a
// user's terminal would receive.
#ifndef ORVEX_TESTS_SUPPORT_TERMINAL_TOOL_H_
#define ORVEX_TESTS_SUPPORT_TERMINAL_TOOL_H_

#include <string>
#include <vector>

#include "support/run_tool.h"

namespace orvex::test {

// Runs `argv` to its end with its standard input, output and error on a
// pseudo-terminal of `columns` columns that passes every byte through as
// written (no \n to \r\n).  `out` holds all the program wrote to it, `err`
// stays empty.
TToolResult RunToolInTerminal(const std::vector<std::string>& argv, unsigned short columns);

}  // namespace orvex::test

#endif  // ORVEX_TESTS_SUPPORT_TERMINAL_TOOL_H_
