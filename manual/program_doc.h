// SPDX-License-Identifier: Apache-2.0
// The description of a command-line program, from which its parser, its
// --help, its man page and its shell completion are all made, so that they
// never tell different stories.
#ifndef ORVEX_MANUAL_PROGRAM_DOC_H_
#define ORVEX_MANUAL_PROGRAM_DOC_H_

#include <string>
#include <vector>

namespace orvex::manual {

// What completes an option's value or a command's operands.
enum class TCompletion {
  kNone,   // a word of the user's own
  kPath,   // a file or directory
  kDrive,  // a drive number, as `orvex devices` lists them
};

struct TOption {
  std::vector<std::string> names;  // "-o", "--output"
  std::string value;               // the value's name ("OUT"); empty for a flag
  std::string help;                // a phrase, wrapped where it is printed
  TCompletion completion = TCompletion::kNone;

  bool TakesValue() const { return !value.empty(); }
};

// The options of one kind (the command's own, the content options, the
// drive options); a command lists them in this order.
using TOptionGroup = std::vector<TOption>;

struct TCommand {
  std::string name;         // "burn"
  std::string synopsis;     // what follows the name: "[options] SOURCE..."
  std::string summary;      // a line for the list of commands
  std::string description;  // paragraphs parted by "\n\n"
  std::vector<TOptionGroup> options;
  TCompletion operands = TCompletion::kNone;
};

// A paragraph of a man page's section: tagged ("ORVEX_VBURNER" and what it
// is) or, with no tag, plain.
struct TItem {
  std::string tag;
  std::string text;
};

struct TSection {
  std::string title;  // "ENVIRONMENT"
  std::vector<TItem> items;
};

struct TExample {
  std::string command;
  std::string comment;
};

struct TProgram {
  std::string name;      // "orvex"
  std::string version;   // "0.1.0"
  std::string summary;   // the man page's NAME line
  std::string synopsis;  // what follows the name: "COMMAND [options] [arguments]"
  std::string description;
  std::vector<TCommand> commands;
  TOptionGroup options;  // the program's own (--help, --version)
  // Whether each command has its own --help; a program whose commands have
  // none lists their synopses and options in its own help.
  bool command_help = true;
  std::string help_footer;           // the last line of the program's help
  std::vector<TSection> sections;    // after COMMANDS: EXIT STATUS, ENVIRONMENT, FILES...
  std::vector<TExample> examples;
  std::vector<std::string> see_also;  // "orvex-vburner(1)"
};

// The command named `name`; nullptr when there is none.
const TCommand* FindCommand(const TProgram& program, const std::string& name);

// The paragraphs of a description: its parts between "\n\n".
std::vector<std::string> Paragraphs(const std::string& text);

// "NAME VERSION", what --version prints.
std::string VersionLine(const TProgram& program);

}  // namespace orvex::manual

#endif  // ORVEX_MANUAL_PROGRAM_DOC_H_
