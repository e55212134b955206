// SPDX-License-Identifier: Apache-2.0
// Shell completion scripts made from a program's description: commands,
// each command's options, files and directories for operands and path
// values, and drive numbers (asked of `PROGRAM devices` when completing).
#ifndef ORVEX_MANUAL_COMPLETION_H_
#define ORVEX_MANUAL_COMPLETION_H_

#include <string>

#include "manual/program_doc.h"

namespace orvex::manual {

// A bash script defining _PROGRAM (with "-" as "_") and binding it with
// `complete`; to be sourced from bash-completion's directory.
std::string BashCompletion(const TProgram& program);

// A zsh completion function file, _PROGRAM, for a directory on $fpath.
std::string ZshCompletion(const TProgram& program);

}  // namespace orvex::manual

#endif  // ORVEX_MANUAL_COMPLETION_H_
