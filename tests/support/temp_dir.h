// SPDX-License-Identifier: Apache-2.0
// Test helpers: a temporary directory that removes itself, file creation,
// and running a check without root's privileges.
#ifndef ORVEX_TESTS_SUPPORT_TEMP_DIR_H_
#define ORVEX_TESTS_SUPPORT_TEMP_DIR_H_

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace orvex::test {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvex-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
    // Readable by everyone, so checks run as an unprivileged user can enter it.
    chmod(path_.c_str(), 0755);
  }
  ~TempDir() {
    std::error_code error;
    // Restore permissions a test took away so that removal succeeds.
    for (auto it = std::filesystem::recursive_directory_iterator(
             path_, std::filesystem::directory_options::skip_permission_denied, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
      if (!it->is_symlink()) chmod(it->path().c_str(), 0755);
    }
    std::filesystem::remove_all(path_, error);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  // Creates the file `name` (and its directories) holding `content`.
  std::string Write(const std::string& name, const std::string& content = "") const {
    const std::string full = *this / name;
    std::filesystem::create_directories(std::filesystem::path(full).parent_path());
    std::ofstream(full, std::ios::binary) << content;
    return full;
  }
  std::string Mkdir(const std::string& name) const {
    const std::string full = *this / name;
    std::filesystem::create_directories(full);
    return full;
  }

 private:
  std::string path_;
};

// Runs `check` in a child process that has given up root (as nobody, in no
// group of root's), so
// that permission checks apply; returns whether it returned true.
inline bool RunUnprivileged(const std::function<bool()>& check) {
  const pid_t child = fork();
  if (child == 0) {
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
    _exit(check() ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace orvex::test

#endif  // ORVEX_TESTS_SUPPORT_TEMP_DIR_H_
