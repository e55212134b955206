#include "manual/program_doc.h"

namespace orvex::manual {

const TCommand* FindCommand(const TProgram& program, const std::string& name) {
  for (const TCommand& command : program.commands) {
    if (command.name == name) return &command;
  }
  return nullptr;
}

std::string VersionLine(const TProgram& program) { return program.name + " " + program.version; }

}  // namespace orvex::manual
