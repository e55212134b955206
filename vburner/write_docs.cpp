// SPDX-License-Identifier: Apache-2.0
// orvex_vburner_write_docs MAN_PAGE BASH_SCRIPT ZSH_SCRIPT: the build step
// that writes orvex-vburner's man page and shell completion.
#include "manual/write_files.h"
#include "vburner/tool_docs.h"

int main(int argc, char** argv) { return orvex::manual::WriteFiles(orvex::vburner::ToolProgram(), argc, argv); }
