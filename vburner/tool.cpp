// SPDX-License-Identifier: Apache-2.0
// orvex-vburner: makes, shows and exports the media files of the virtual
// burner, outside any drive.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "manual/help_text.h"
#include "vburner/media_files.h"
#include "vburner/medium.h"
#include "vburner/profiles.h"
#include "vburner/tcmu_attach.h"
#include "vburner/tool_docs.h"

using namespace orvex::vburner;

namespace {

int Usage() {
  std::fputs(orvex::manual::ProgramHelp(ToolProgram()).c_str(), stderr);
  return 2;
}

int Failure(const std::string& why) {
  std::fprintf(stderr, "orvex-vburner: %s\n", why.c_str());
  return 1;
}

bool ParseCount(const char* text, uint32_t& out) {
  char* end = nullptr;
  const unsigned long long v = std::strtoull(text, &end, 10);
  if (*text == '\0' || *end != '\0' || v > UINT32_MAX) return false;
  out = static_cast<uint32_t>(v);
  return true;
}

const ProfileInfo* NamedProfile(const char* name) {
  const ProfileInfo* p = FindProfile(name);
  if (p == nullptr) std::fprintf(stderr, "orvex-vburner: unknown profile %s (see: orvex-vburner profiles)\n", name);
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  std::string error;
  if ((command == "-h" || command == "--help") && argc == 2) {
    std::fputs(orvex::manual::ProgramHelp(ToolProgram()).c_str(), stdout);
    return 0;
  }
  if (command == "--version" && argc == 2) {
    std::printf("%s\n", orvex::manual::VersionLine(ToolProgram()).c_str());
    return 0;
  }
  if (command == "profiles" && argc == 2) {
    for (const ProfileInfo& p : AllProfiles())
      std::printf("%-11s %04Xh%s\n", p.name, p.number, p.model == Model::kReadOnly ? "  (read only)" : "");
    return 0;
  }
  if (command == "new" && argc >= 4) {
    const ProfileInfo* p = NamedProfile(argv[2]);
    if (p == nullptr) return 1;
    uint32_t blocks = 0;
    bool formatted = false;
    Existing existing = Existing::kRefuse;
    for (int i = 4; i < argc; ++i) {
      if (std::strcmp(argv[i], "--blocks") == 0 && i + 1 < argc && ParseCount(argv[i + 1], blocks)) {
        ++i;
      } else if (std::strcmp(argv[i], "--formatted") == 0) {
        formatted = true;
      } else if (std::strcmp(argv[i], "--force") == 0) {
        existing = Existing::kReplace;
      } else {
        return Usage();
      }
    }
    if (Medium::Create(argv[3], *p, blocks, formatted, existing, error)) return 0;
    return Failure(existing == Existing::kRefuse && error.ends_with(" exists already")
                       ? error + " (--force replaces it, and what it holds is lost)"
                       : error);
  }
  if (command == "show" && argc == 3) {
    const std::string text = DescribeMedium(argv[2], error);
    if (text.empty()) return Failure(error);
    std::fputs(text.c_str(), stdout);
    return 0;
  }
  if (command == "export" && (argc == 4 || argc == 6)) {
    uint32_t session = 0;
    if (argc == 6 && (std::strcmp(argv[4], "--session") != 0 || !ParseCount(argv[5], session) || session == 0))
      return Usage();
    return ExportImage(argv[2], session, argv[3], error) ? 0 : Failure(error);
  }
  if (command == "load" && argc == 5) {
    const ProfileInfo* p = NamedProfile(argv[2]);
    if (p == nullptr) return 1;
    return ImportImage(argv[3], *p, argv[4], error) ? 0 : Failure(error);
  }
  if (command == "attach" && argc >= 3) {
    AttachOptions options;
    for (int i = 2; i < argc; ++i) {
      if (std::strcmp(argv[i], "--timescale") == 0 && i + 1 < argc) {
        char* end = nullptr;
        options.time_scale = std::strtod(argv[++i], &end);
        if (*end != '\0' || !(options.time_scale > 0)) return Usage();
      } else if (std::strcmp(argv[i], "--trace") == 0 && i + 1 < argc) {
        options.trace_path = argv[++i];
      } else {
        options.media.push_back(argv[i]);
      }
    }
    if (options.media.empty() || options.media.size() > 8) return Usage();
    return RunAttach(options, KernelPaths{});
  }
  if (command == "detach" && argc == 2) return RunDetach(KernelPaths{});
  return Usage();
}
