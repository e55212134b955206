#include "cli/command_line.h"

namespace orvex::cli {

TCommandLine::TCommandLine(int argc, char** argv, int first, const std::vector<TOptionSpec>& specs)
    : specs_(specs) {
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
    const std::string name = Canonical(arg);
    if (name.empty()) {
      error_ = "unknown option " + arg;
      return;
    }
    const bool takes_value = [&] {
      for (const TOptionSpec& spec : specs_) {
        if (spec.names[0] == name) return spec.takes_value;
      }
      return false;
    }();
    if (takes_value && !inline_value) {
      if (i + 1 >= argc) {
        error_ = "option " + arg + " needs a value";
        return;
      }
      value = argv[++i];
    } else if (!takes_value && inline_value) {
      error_ = "option " + arg + " takes no value";
      return;
    }
    values_[name] = value;
  }
}

std::string TCommandLine::Canonical(const std::string& name) const {
  for (const TOptionSpec& spec : specs_) {
    for (const std::string& n : spec.names) {
      if (n == name) return spec.names[0];
    }
  }
  return "";
}

bool TCommandLine::Has(const std::string& name) const { return values_.count(Canonical(name)) != 0; }

std::string TCommandLine::Value(const std::string& name, const std::string& fallback) const {
  const auto it = values_.find(Canonical(name));
  return it == values_.end() ? fallback : it->second;
}

bool ParseNumber(const std::string& text, uint64_t max, uint32_t& value) {
  if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  const uint64_t number = std::stoull(text);
  if (number > max) return false;
  value = static_cast<uint32_t>(number);
  return true;
}

}  // namespace orvex::cli
