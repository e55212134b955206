// SPDX-License-Identifier: Apache-2.0
#include "platform/user_paths.h"

#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>

namespace orvex {

std::string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* user = getpwuid(getuid()); user != nullptr && user->pw_dir != nullptr) return user->pw_dir;
  return "";
}

std::string ExecutableDirectory() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "";
  const std::string exe(path, static_cast<size_t>(n));
  return exe.substr(0, exe.rfind('/'));
}

std::string UserStateDirectory() {
  const char* state = std::getenv("XDG_STATE_HOME");
  std::string base = state != nullptr && *state == '/' ? state : HomeDirectory() + "/.local/state";
  if (base.empty() || base[0] != '/') return "";
  const std::string directory = base + "/orvex";
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  return error ? "" : directory;
}

}  // namespace orvex
