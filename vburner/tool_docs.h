// SPDX-License-Identifier: Apache-2.0
// The description of the orvex-vburner tool, from which its help, its man
// page and its shell completion are made: its commands and the syntax of
// the ORVEX_VBURNER description of drives.
#ifndef ORVEX_VBURNER_TOOL_DOCS_H_
#define ORVEX_VBURNER_TOOL_DOCS_H_

#include "manual/program_doc.h"

namespace orvex::vburner {

const manual::TProgram& ToolProgram();

}  // namespace orvex::vburner

#endif  // ORVEX_VBURNER_TOOL_DOCS_H_
