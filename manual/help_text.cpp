// SPDX-License-Identifier: Apache-2.0
#include "manual/help_text.h"

#include <algorithm>
#include <sstream>

namespace orvex::manual {
namespace {

constexpr size_t kHelpColumn = 24;
constexpr size_t kWidestCommandColumn = 30;  // longer synopses stand on their own line

// `text` padded with spaces to `column`, or, when that would leave less
// than two spaces, ended with a new line and the indent of `column`.
std::string PadTo(std::string text, size_t column) {
  if (text.size() + 2 > column) return text + "\n" + std::string(column, ' ');
  return text + std::string(column - text.size(), ' ');
}

// Two columns: `left`, then `right` wrapped from `column` on.
std::string TwoColumns(const std::string& left, const std::string& right, size_t column) {
  return PadTo(left, column) + Wrap(right, column).substr(column);
}

std::string Options(const TOptionGroup& group) {
  std::string text;
  for (const TOption& option : group) text += OptionLines(option);
  return text;
}

}  // namespace

std::string Wrap(const std::string& text, size_t indent, size_t width) {
  std::string out;
  for (const std::string& paragraph : Paragraphs(text)) {
    if (!out.empty()) out += "\n";
    std::istringstream words(paragraph);
    std::string line;
    for (std::string word; words >> word;) {
      if (!line.empty() && indent + line.size() + 1 + word.size() > width) {
        out += std::string(indent, ' ') + line + "\n";
        line.clear();
      }
      line += (line.empty() ? "" : " ") + word;
    }
    out += std::string(indent, ' ') + line + "\n";
  }
  return out;
}

std::string OptionTag(const TOption& option) {
  std::string tag;
  for (const std::string& name : option.names) tag += (tag.empty() ? "" : ", ") + name;
  return option.TakesValue() ? tag + " " + option.value : tag;
}

std::string OptionLines(const TOption& option) {
  return TwoColumns("  " + OptionTag(option), option.help, kHelpColumn);
}

std::string CommandHelp(const TProgram& program, const TCommand& command) {
  std::string text = "usage: " + program.name + " " + command.name + " " + command.synopsis + "\n\n" +
                     Wrap(command.description, 0) + "\noptions:\n";
  for (const TOptionGroup& group : command.options) text += Options(group);
  return text;
}

std::string ProgramHelp(const TProgram& program) {
  std::string text = "usage: " + program.name + " " + program.synopsis + "\n\ncommands:\n";
  size_t column = 0;
  const auto left = [&](const TCommand& command) {
    return "  " + command.name + (program.command_help ? "" : " " + command.synopsis);
  };
  for (const TCommand& command : program.commands) column = std::max(column, left(command).size() + 2);
  column = std::min(column, kWidestCommandColumn);
  for (const TCommand& command : program.commands) text += TwoColumns(left(command), command.summary, column);
  if (!program.command_help) {
    for (const TCommand& command : program.commands) {
      for (const TOptionGroup& group : command.options) {
        if (!group.empty()) text += "\noptions of " + command.name + ":\n" + Options(group);
      }
    }
  }
  text += "\noptions:\n" + Options(program.options);
  return program.help_footer.empty() ? text : text + "\n" + Wrap(program.help_footer, 0);
}

}  // namespace orvex::manual
