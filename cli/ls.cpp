// orvex ls IMAGE
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "component/orvex.h"
#include "platform/text_conversion.h"

namespace orvex::cli {
namespace {

constexpr const char* kUsage =
    "usage: orvex ls IMAGE\n"
    "\n"
    "Lists the tree of the ISO 9660 image IMAGE, one line per entry: d or f,\n"
    "the size in bytes, the block address and the path in the image.  It shows\n"
    "the tree with the longest names the image has (Joliet where there is one).\n"
    "\n"
    "options:\n"
    "  -h, --help  this help\n";

void List(const TDirEntry* root) {
  // Depth first, each directory's entries in the order the image lists them.
  std::vector<std::pair<const TFileEntry*, std::string>> pending = {{root->Files, ""}};
  while (!pending.empty()) {
    auto& [entry, prefix] = pending.back();
    if (entry == nullptr) {
      pending.pop_back();
      continue;
    }
    const TFileEntry* e = entry;
    entry = e->NextFile;
    const std::string path = prefix + "/" + Utf16ToUtf8(e->LongName);
    std::printf("%c %lld %u %s\n", e->DirRecord != nullptr ? 'd' : 'f', static_cast<long long>(e->FileSize),
                e->Address, path.c_str());
    if (e->DirRecord != nullptr) pending.emplace_back(e->DirRecord->Files, path);
  }
}

}  // namespace

int RunLs(int argc, char** argv) {
  const TCommandLine args(argc, argv, 2, {{{"-h", "--help"}, false}});
  if (!args.Error().empty() || (!args.Has("--help") && args.Operands().size() != 1)) {
    std::fprintf(stderr, "orvex ls: %s\n%s", args.Error().empty() ? "give one IMAGE" : args.Error().c_str(), kUsage);
    return kExitUsage;
  }
  if (args.Has("--help")) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  const std::string image = args.Operands()[0];
  TOrvex disc(nullptr);
  disc.ClearAll();
  if (!disc.MountISOImage(image)) {
    std::fprintf(stderr, "orvex: cannot read %s as an ISO 9660 image\n", image.c_str());
    return kExitFailed;
  }
  List(disc.CDFiles.RootDir);
  return kExitOk;
}

}  // namespace orvex::cli
