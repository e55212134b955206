// SPDX-License-Identifier: Apache-2.0
// orvex_write_docs MAN_PAGE BASH_SCRIPT ZSH_SCRIPT: the build step that
// writes orvex's man page and shell completion from its command table.
#include "cli/command_docs.h"
#include "manual/write_files.h"

int main(int argc, char** argv) { return orvex::manual::WriteFiles(orvex::cli::OrvexProgram(), argc, argv); }
