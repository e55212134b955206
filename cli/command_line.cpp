// SPDX-License-Identifier: Apache-2.0
#include "cli/command_line.h"

#include <cstdio>

#include "cli/command_docs.h"
#include "cli/commands.h"
#include "cli/json_report.h"
#include "manual/help_text.h"

namespace orvex::cli {

TCommandLine::TCommandLine(int argc, char** argv, int first, const manual::TCommand& command) : command_(command) {
  bool options_done = false;
  for (int i = first; i < argc; ++i) {
    std::string arg = argv[i];
    if (options_done || arg.size() < 2 || arg[0] != '-') {
      operands_.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_done = true;
      continue;
    }
    std::string value;
    bool inline_value = false;
    if (const size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
      inline_value = true;
    }
    const manual::TOption* option = Find(arg);
    if (option == nullptr) {
      error_ = "unknown option " + arg;
      return;
    }
    if (option->TakesValue() && !inline_value) {
      if (i + 1 >= argc) {
        error_ = "option " + arg + " needs a value";
        return;
      }
      value = argv[++i];
    } else if (!option->TakesValue() && inline_value) {
      error_ = "option " + arg + " takes no value";
      return;
    }
    values_[option->names[0]] = value;
  }
}

const manual::TOption* TCommandLine::Find(const std::string& name) const {
  for (const manual::TOptionGroup& group : command_.options) {
    for (const manual::TOption& option : group) {
      for (const std::string& n : option.names) {
        if (n == name) return &option;
      }
    }
  }
  return nullptr;
}

bool TCommandLine::Has(const std::string& name) const {
  const manual::TOption* option = Find(name);
  return option != nullptr && values_.count(option->names[0]) != 0;
}

std::string TCommandLine::Value(const std::string& name, const std::string& fallback) const {
  const manual::TOption* option = Find(name);
  const auto it = option == nullptr ? values_.end() : values_.find(option->names[0]);
  return it == values_.end() ? fallback : it->second;
}

int AnswerHelpOrError(const TCommandLine& args) {
  if (!args.Error().empty()) return Usage(args, args.Error());
  if (args.Has("--help")) {
    std::fputs(manual::CommandHelp(OrvexProgram(), args.Command()).c_str(), stdout);
    return kExitOk;
  }
  if (args.Has("--version")) {
    std::printf("%s\n", manual::VersionLine(OrvexProgram()).c_str());
    return kExitOk;
  }
  TReport::Current().Enable(args);
  return -1;
}

int Usage(const TCommandLine& args, const std::string& error) {
  const char* name = args.Command().name.c_str();
  std::fprintf(stderr, "orvex %s: %s\nsee 'orvex %s --help'\n", name, error.c_str(), name);
  return kExitUsage;
}

bool ParseNumber(const std::string& text, uint64_t max, uint32_t& value) {
  if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  const uint64_t number = std::stoull(text);
  if (number > max) return false;
  value = static_cast<uint32_t>(number);
  return true;
}

}  // namespace orvex::cli
