// SPDX-License-Identifier: Apache-2.0
// The body of the build steps that write a program's man page and
// completion scripts: `GENERATOR MAN_PAGE BASH_SCRIPT ZSH_SCRIPT`.
#ifndef ORVEX_MANUAL_WRITE_FILES_H_
#define ORVEX_MANUAL_WRITE_FILES_H_

#include "manual/program_doc.h"

namespace orvex::manual {

// Writes the three files named by argv[1..3] (making their folders);
// returns the exit status, 1 with the reason on standard error when one
// could not be written, 2 for another count of arguments.
int WriteFiles(const TProgram& program, int argc, char** argv);

}  // namespace orvex::manual

#endif  // ORVEX_MANUAL_WRITE_FILES_H_
