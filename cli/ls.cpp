// orvex ls IMAGE
#include <cstdint>
#include <cstdio>
#include <string>

#include "cli/command_docs.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/messages.h"
#include "component/orvex.h"

namespace orvex::cli {
namespace {

const char* TreeName(TNameEncoding names) {
  switch (names) {
    case TNameEncoding::Ucs2:
      return "its Joliet tree";
    case TNameEncoding::EightBit:
      return "its ISO 9660:1999 tree";
    case TNameEncoding::Primary:
      break;
  }
  return "its ISO 9660 tree (8.3 names)";
}

// Warns of everything the listing lacks; true when it lacks nothing.
bool WarnOfGaps(const std::string& image, const TImportReport& report) {
  if (report.Truncated()) {
    Warn(image + " ends at sector " + std::to_string(report.source_sectors) + " but its volume has " +
         std::to_string(report.volume_sectors) + " sectors");
  }
  if (report.damaged > 0) {
    Warn(std::to_string(report.damaged) +
         " parts of the tree could not be read (unreadable or malformed directory records, or data beyond the image)");
  }
  if (report.bad_names > 0) {
    Warn(std::to_string(report.bad_names) +
         " entries are left out: their names (\".\", \"..\", empty, or holding \"/\", \"\\\" or NUL) name no path");
  }
  if (report.tables_full) Warn("the listing stops at 200,000 files or 65,000 directories");
  if (report.not_added > 0) {
    Warn(std::to_string(report.not_added) + " entries are left out: their names are taken or the tree is full");
  }
  return report.Complete();
}

}  // namespace

int RunLs(int argc, char** argv) {
  const TCommandLine args(argc, argv, 2, CommandDoc("ls"));
  if (const int stop = AnswerHelpOrError(args); stop >= 0) return stop;
  if (args.Operands().size() != 1) return Usage(args, "give one IMAGE");
  uint32_t sector = 0;
  if (args.Has("--sector") && !ParseNumber(args.Value("--sector"), UINT32_MAX - 32, sector)) {
    return Usage(args, "--sector takes a block number");
  }
  const std::string image = args.Operands()[0];
  TOrvex disc(nullptr);
  disc.ClearAll();
  if (!disc.MountISOImage(image, sector)) {
    Say("cannot read " + Printable(image) + " as an ISO 9660 image");
    return kExitFailed;
  }
  Say(Printable(image) + ": listing " + TreeName(disc.LastImport().names));
  disc.WalkTree([](const TOrvex::TTreeItem& item) {
    std::printf("%c %lld %u %s\n", item.IsDirectory ? 'd' : 'f', static_cast<long long>(item.Size), item.Address,
                Printable(item.Path).c_str());
  });
  return WarnOfGaps(Printable(image), disc.LastImport()) ? kExitOk : kExitFailed;
}

}  // namespace orvex::cli
