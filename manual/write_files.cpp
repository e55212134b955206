// SPDX-License-Identifier: Apache-2.0
#include "manual/write_files.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "manual/completion.h"
#include "manual/man_page.h"

namespace orvex::manual {
namespace {

bool Write(const std::filesystem::path& path, const std::string& text) {
  std::error_code error;
  std::filesystem::create_directories(path.parent_path(), error);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (out) return true;
  std::fprintf(stderr, "cannot write %s\n", path.c_str());
  return false;
}

}  // namespace

int WriteFiles(const TProgram& program, int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s MAN_PAGE BASH_SCRIPT ZSH_SCRIPT\n", argv[0]);
    return 2;
  }
  const bool written = Write(argv[1], ManPage(program)) && Write(argv[2], BashCompletion(program)) &&
                       Write(argv[3], ZshCompletion(program));
  return written ? 0 : 1;
}

}  // namespace orvex::manual
