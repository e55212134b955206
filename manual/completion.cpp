// SPDX-License-Identifier: Apache-2.0
#include "manual/completion.h"

namespace orvex::manual {
namespace {

std::string FunctionName(const std::string& program) {
  std::string name = "_" + program;
  for (char& c : name) c = c == '-' ? '_' : c;
  return name;
}

// The names of the command's options that take a value completing as
// `kind` (`values`), or that take none.
std::string Names(const TCommand& command, bool values, TCompletion kind) {
  std::string names;
  for (const TOptionGroup& group : command.options) {
    for (const TOption& option : group) {
      if (option.TakesValue() != values || (values && option.completion != kind)) continue;
      for (const std::string& name : option.names) names += (names.empty() ? "" : " ") + name;
    }
  }
  return names;
}

std::string CommandNames(const TProgram& program) {
  std::string names;
  for (const TCommand& command : program.commands) names += command.name + " ";
  for (const TOption& option : program.options) {
    for (const std::string& name : option.names) names += name + " ";
  }
  names.pop_back();
  return names;
}

// One `case` branch of the bash function: the option lists of a command.
std::string BashBranch(const TCommand& command) {
  return "    " + command.name + ")\n      flags='" + Names(command, false, TCompletion::kNone) + "'\n      paths='" +
         Names(command, true, TCompletion::kPath) + "'\n      drives='" + Names(command, true, TCompletion::kDrive) +
         "'\n      words='" + Names(command, true, TCompletion::kNone) + "'\n      operands=" +
         (command.operands == TCompletion::kPath ? "paths" : "none") + " ;;\n";
}

// `text` inside a single-quoted zsh word and _arguments' [description].
std::string ZshDescription(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      if (c == '[' || c == ']' || c == '\\' || c == ':') out += '\\';
      out += c;
    }
  }
  return out;
}

std::string ZshAction(TCompletion kind, const std::string& program) {
  switch (kind) {
    case TCompletion::kPath:
      return "_files";
    case TCompletion::kDrive:
      return FunctionName(program) + "_drives";
    case TCompletion::kNone:
      break;
  }
  return " ";
}

std::string ZshBranch(const TProgram& program, const TCommand& command) {
  std::string specs;
  for (const TOptionGroup& group : command.options) {
    for (const TOption& option : group) {
      for (const std::string& name : option.names) {
        specs += " \\\n        '" + name + "[" + ZshDescription(option.help) + "]";
        if (option.TakesValue()) {
          specs += ":" + ZshDescription(option.value) + ":" + ZshAction(option.completion, program.name);
        }
        specs += "'";
      }
    }
  }
  if (command.operands == TCompletion::kPath) specs += " \\\n        '*:file:_files'";
  return "    " + command.name + ")\n      _arguments -s" + specs + " ;;\n";
}

}  // namespace

std::string BashCompletion(const TProgram& program) {
  const std::string function = FunctionName(program.name);
  std::string out = "# bash completion for " + program.name + ", made from its command table.\n\n";
  out += "# The drive numbers, from the first field of each row of `" + program.name + " devices`.\n" +
         function + "_drives() {\n  timeout 5 \"$1\" devices 2>/dev/null </dev/null | while IFS=: read -r index _; do\n"
                    "    printf '%s\\n' \"$index\"\n  done\n}\n\n";
  out += function + "() {\n  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n  COMPREPLY=()\n"
         "  if ((COMP_CWORD == 1)); then\n    mapfile -t COMPREPLY < <(compgen -W '" + CommandNames(program) +
         "' -- \"$cur\")\n    return\n  fi\n  local flags='' paths='' drives='' words='' operands=none\n"
         "  case ${COMP_WORDS[1]} in\n";
  for (const TCommand& command : program.commands) out += BashBranch(command);
  out += "    *) return ;;\n  esac\n"
         "  if [[ \" $drives \" == *\" $prev \"* ]]; then\n"
         "    mapfile -t COMPREPLY < <(compgen -W \"$(" + function + "_drives \"${COMP_WORDS[0]}\")\" -- \"$cur\")\n"
         "  elif [[ \" $paths \" == *\" $prev \"* ]]; then\n"
         "    compopt -o filenames 2>/dev/null || true\n    mapfile -t COMPREPLY < <(compgen -f -- \"$cur\")\n"
         "  elif [[ \" $words \" == *\" $prev \"* ]]; then\n    return\n"
         "  elif [[ $cur == -* ]]; then\n"
         "    mapfile -t COMPREPLY < <(compgen -W \"$flags $paths $drives $words\" -- \"$cur\")\n"
         "  elif [[ $operands == paths ]]; then\n"
         "    compopt -o filenames 2>/dev/null || true\n    mapfile -t COMPREPLY < <(compgen -f -- \"$cur\")\n  fi\n}\n\n";
  return out + "complete -F " + function + " " + program.name + "\n";
}

std::string ZshCompletion(const TProgram& program) {
  const std::string function = FunctionName(program.name);
  std::string out = "#compdef " + program.name + "\n# zsh completion for " + program.name +
                    ", made from its command table.\n\n";
  out += "# The drive numbers, from the first field of each row of `" + program.name + " devices`.\n" + function +
         "_drives() {\n  local -a drives\n  drives=(${${(f)\"$(timeout 5 $program devices 2>/dev/null </dev/null)\"}%%:*})\n"
         "  _describe -t drives drive drives\n}\n\n";
  out += function + "() {\n  local -a commands\n  commands=(\n";
  for (const TCommand& command : program.commands) {
    out += "    '" + ZshDescription(command.name) + ":" + ZshDescription(command.summary) + "'\n";
  }
  out += "  )\n  if ((CURRENT == 2)); then\n    _describe -t commands command commands\n    return\n  fi\n"
         "  local program=$words[1] command=$words[2]\n  shift words\n  ((CURRENT--))\n  case $command in\n";
  for (const TCommand& command : program.commands) out += ZshBranch(program, command);
  return out + "  esac\n}\n\n" + function + " \"$@\"\n";
}

}  // namespace orvex::manual
