// SPDX-License-Identifier: Apache-2.0
// The description of the orvex program: every command with its synopsis,
// its text and its options.  The parser, --help, the man page and the shell
// completion are all made from it.
#ifndef ORVEX_CLI_COMMAND_DOCS_H_
#define ORVEX_CLI_COMMAND_DOCS_H_

#include <string>

#include "manual/program_doc.h"

namespace orvex::cli {

const manual::TProgram& OrvexProgram();

// The command named `name`, which the table must hold.
const manual::TCommand& CommandDoc(const std::string& name);

}  // namespace orvex::cli

#endif  // ORVEX_CLI_COMMAND_DOCS_H_
