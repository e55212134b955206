// SPDX-License-Identifier: Apache-2.0
#include "qemu/guest_console.h"

#include <charconv>
#include <cstdlib>
#include <sstream>
#include <string_view>

namespace orvex::test {
namespace {

constexpr std::string_view kMarker = "@@orvex-guest ";

// Appends the bytes of "61 62 0a" to `bytes`; false when a field is not
// one byte in two hex digits.
bool AppendHex(std::string_view fields, std::string& bytes) {
  std::istringstream in{std::string(fields)};
  for (std::string field; in >> field;) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value, 16);
    if (field.size() != 2 || error != std::errc() || end != field.data() + field.size()) return false;
    bytes.push_back(static_cast<char>(value));
  }
  return true;
}

double Uptime(const std::string& text) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  return end == text.c_str() ? -1 : value;
}

}  // namespace

const TGuestCommandResult* TGuestConsole::Find(const std::string& name) const {
  for (const TGuestCommandResult& command : commands) {
    if (command.name == name) return &command;
  }
  return nullptr;
}

TGuestConsole ReadGuestConsole(const std::string& text) {
  TGuestConsole console;
  TGuestCommandResult* open = nullptr;  // the command between its begin and end
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    // The serial line discipline ends every line with CR LF.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind(kMarker, 0) != 0) continue;
    const std::string body = line.substr(kMarker.size());
    const size_t space = body.find(' ');
    const std::string verb = body.substr(0, space);
    const std::string rest = space == std::string::npos ? "" : body.substr(space + 1);

    if (verb == "ready") {
      console.ready = true;
      console.ready_uptime = Uptime(rest);
    } else if (verb == "done") {
      console.done_uptime = Uptime(rest);
    } else if (verb == "fail") {
      console.failures.push_back(rest);
    } else if (verb == "note") {
      // Only for people reading the log.
    } else if (verb == "begin") {
      if (open != nullptr) console.failures.push_back(open->name + " began again before its end");
      console.commands.push_back({rest, -1, "", ""});
      open = &console.commands.back();
    } else if (verb == "out" || verb == "err") {
      if (open == nullptr) {
        console.failures.push_back("output outside a command: " + line);
      } else if (!AppendHex(rest, verb == "out" ? open->out : open->err)) {
        console.failures.push_back("output of " + open->name + " is not hex: " + line);
      }
    } else if (verb == "end") {
      const size_t last = rest.rfind(' ');
      const std::string name = rest.substr(0, last);
      int status = -1;
      const char* first = last == std::string::npos ? nullptr : rest.c_str() + last + 1;
      const bool numeric = first != nullptr &&
                           std::from_chars(first, rest.c_str() + rest.size(), status).ptr == rest.c_str() + rest.size();
      if (open == nullptr || open->name != name || !numeric) {
        console.failures.push_back("an end that closes no command: " + line);
      } else {
        open->status = status;
      }
      open = nullptr;
    } else {
      console.failures.push_back("an unknown marker: " + line);
    }
  }
  if (open != nullptr) console.failures.push_back(open->name + " never ended");
  return console;
}

}  // namespace orvex::test
