// The arguments of one orvex command: options (with or without a value) and
// operands, parsed from argv against the options the command declares.
#ifndef ORVEX_CLI_COMMAND_LINE_H_
#define ORVEX_CLI_COMMAND_LINE_H_

#include <map>
#include <string>
#include <vector>

namespace orvex::cli {

struct TOptionSpec {
  std::vector<std::string> names;  // "-o", "--output"
  bool takes_value;
};

class TCommandLine {
 public:
  // Parses argv[first...]; an unknown option or a missing value leaves
  // Error() non-empty.  "--" ends the options.
  TCommandLine(int argc, char** argv, int first, const std::vector<TOptionSpec>& specs);

  const std::string& Error() const { return error_; }
  // Whether the option (by any of its names) was given.
  bool Has(const std::string& name) const;
  // Its value; `fallback` when it was not given.
  std::string Value(const std::string& name, const std::string& fallback = "") const;
  const std::vector<std::string>& Operands() const { return operands_; }

 private:
  std::string Canonical(const std::string& name) const;

  std::vector<TOptionSpec> specs_;
  std::map<std::string, std::string> values_;  // by the option's first name
  std::vector<std::string> operands_;
  std::string error_;
};

// A whole decimal number from 0 to `max` into `value`; false for anything else.
bool ParseNumber(const std::string& text, uint64_t max, uint32_t& value);

}  // namespace orvex::cli

#endif  // ORVEX_CLI_COMMAND_LINE_H_
