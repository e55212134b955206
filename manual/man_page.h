// SPDX-License-Identifier: Apache-2.0
// A program's man page (section 1, in roff's man macros), made from its
// description: NAME, SYNOPSIS, DESCRIPTION, COMMANDS with every option of
// every command, the program's own sections, EXAMPLES and SEE ALSO.
#ifndef ORVEX_MANUAL_MAN_PAGE_H_
#define ORVEX_MANUAL_MAN_PAGE_H_

#include <string>

#include "manual/program_doc.h"

namespace orvex::manual {

// `text` safe as roff text: backslashes and hyphens escaped, and a line
// that would start with a control character ('.' or '\'') guarded.
std::string RoffText(const std::string& text);

std::string ManPage(const TProgram& program);

}  // namespace orvex::manual

#endif  // ORVEX_MANUAL_MAN_PAGE_H_
