// SPDX-License-Identifier: Apache-2.0
#include "manual/program_doc.h"

namespace orvex::manual {

const TCommand* FindCommand(const TProgram& program, const std::string& name) {
  for (const TCommand& command : program.commands) {
    if (command.name == name) return &command;
  }
  return nullptr;
}

std::vector<std::string> Paragraphs(const std::string& text) {
  std::vector<std::string> paragraphs;
  size_t start = 0;
  for (size_t end; (end = text.find("\n\n", start)) != std::string::npos; start = end + 2) {
    paragraphs.push_back(text.substr(start, end - start));
  }
  paragraphs.push_back(text.substr(start));
  return paragraphs;
}

std::string VersionLine(const TProgram& program) { return program.name + " " + program.version; }

}  // namespace orvex::manual
