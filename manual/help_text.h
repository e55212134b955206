// SPDX-License-Identifier: Apache-2.0
// What --help prints, made from a program's description: text wrapped to
// the terminal's customary 78 columns, options in two columns.
#ifndef ORVEX_MANUAL_HELP_TEXT_H_
#define ORVEX_MANUAL_HELP_TEXT_H_

#include <string>

#include "manual/program_doc.h"

namespace orvex::manual {

// `text` wrapped at `width` columns, every line indented by `indent`
// spaces; "\n\n" parts paragraphs.
std::string Wrap(const std::string& text, size_t indent, size_t width = 78);

// "-V, --volume LABEL": the option's names and its value's name.
std::string OptionTag(const TOption& option);

// One option as help lists it: the tag, then the help from column 24 (on
// the next line when the tag is longer).
std::string OptionLines(const TOption& option);

// "usage: PROGRAM COMMAND SYNOPSIS", the description and every option of
// every group.
std::string CommandHelp(const TProgram& program, const TCommand& command);

// The program's usage line, its commands with their summaries, its own
// options and the footer.
std::string ProgramHelp(const TProgram& program);

}  // namespace orvex::manual

#endif  // ORVEX_MANUAL_HELP_TEXT_H_
