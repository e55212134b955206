// SPDX-License-Identifier: Apache-2.0
// The object a command prints on standard output with --json: the schema's
// identity, the command, its outcome, the error that ended it, the warnings
// it gave, and the command's own fields (docs/json.md).  A command fills
// the fields whether or not --json was given and prints its human lines
// only when it was not; main() prints the object once the command has
// returned, unless it was a usage error.
#ifndef ORVEX_CLI_JSON_REPORT_H_
#define ORVEX_CLI_JSON_REPORT_H_

#include <string>

#include "cli/command_line.h"
#include "cli/json.h"
#include "component/orvex.h"

namespace orvex::cli {

// The schema's identity; its number changes only when a field is removed
// or changes its meaning.
constexpr const char* kJsonSchema = "orvex/1";

class TReport {
 public:
  // The report of this process.
  static TReport& Current();

  // Turns the report on when --json was given; AnswerHelpOrError calls it
  // once the command line is known to be sound (after --help).
  void Enable(const TCommandLine& args) { enabled_ = args.Has("--json"); }
  bool Enabled() const { return enabled_; }

  // The command's own fields.
  TJson& Fields() { return fields_; }

  // A message the command said on standard error (see messages.h): the last
  // one before a failure is the failure's text.
  void Said(const std::string& message) { said_ = message; }
  void Warned(const std::string& message) { warnings_.AppendText(message); }
  // The component's error that ended the job (its number and file).
  void Failed(const TOrvex::TErrorInfo& error) { error_ = error; }
  // Members the command line adds to the error it tells ("cause", "space").
  TJson& ErrorFields() { return error_fields_; }

  // The whole object for a command that ended with `status`.
  std::string Written(const std::string& command, int status) const;

  // The command the report is of, named before it runs.
  void Begin(const std::string& command) { command_ = command; }

  // Prints it when enabled and `status` is not a usage error; returns `status`.
  int Finish(int status) const;

 private:
  bool enabled_ = false;
  std::string command_;
  TJson fields_ = TJson::Object();
  TJson warnings_ = TJson::Array();
  std::string said_;
  TOrvex::TErrorInfo error_;
  TJson error_fields_ = TJson::Object();
};

// Whether --json is on (the human output and the progress bar are off then).
inline bool JsonOutput() { return TReport::Current().Enabled(); }

}  // namespace orvex::cli

#endif  // ORVEX_CLI_JSON_REPORT_H_
