// SPDX-License-Identifier: Apache-2.0
// The arguments of one orvex command: options (with or without a value) and
// operands, parsed from argv against the options its description lists.
#ifndef ORVEX_CLI_COMMAND_LINE_H_
#define ORVEX_CLI_COMMAND_LINE_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "manual/program_doc.h"

namespace orvex::cli {

class TCommandLine {
 public:
  // Parses argv[first...]; an unknown option or a missing value leaves
  // Error() non-empty.  "--" ends the options.
  TCommandLine(int argc, char** argv, int first, const manual::TCommand& command);

  const manual::TCommand& Command() const { return command_; }
  const std::string& Error() const { return error_; }
  // Whether the option (by any of its names) was given.
  bool Has(const std::string& name) const;
  // Its value; `fallback` when it was not given.
  std::string Value(const std::string& name, const std::string& fallback = "") const;
  const std::vector<std::string>& Operands() const { return operands_; }

 private:
  // The option named `name`; nullptr for none.
  const manual::TOption* Find(const std::string& name) const;

  const manual::TCommand& command_;
  std::map<std::string, std::string> values_;  // by the option's first name
  std::vector<std::string> operands_;
  std::string error_;
};

// What a command does before its own work: for a command line that did not
// parse, the usage error; for --help its help and for --version the
// version, on standard output.  Returns the exit status then; else turns
// the JSON report on when --json was given and returns -1.
int AnswerHelpOrError(const TCommandLine& args);

// "orvex COMMAND: ERROR" and "see 'orvex COMMAND --help'" on standard
// error: the one thing that is wrong, not the whole help, which would bury
// it.  Returns the exit status of a usage error.
int Usage(const TCommandLine& args, const std::string& error);

// A whole decimal number from 0 to `max` into `value`; false for anything else.
bool ParseNumber(const std::string& text, uint64_t max, uint32_t& value);

}  // namespace orvex::cli

#endif  // ORVEX_CLI_COMMAND_LINE_H_
