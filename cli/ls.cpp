// SPDX-License-Identifier: Apache-2.0
// orvex ls IMAGE
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/command_docs.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/json_report.h"
#include "cli/messages.h"
#include "component/orvex.h"

namespace orvex::cli {
namespace {

struct TTreeNames {
  const char* said;  // on standard error
  const char* key;   // in the JSON report
};

TTreeNames TreeNames(const TImportReport& report) {
  switch (report.names) {
    case TNameEncoding::Ucs2:
      return {"its Joliet tree", "joliet"};
    case TNameEncoding::EightBit:
      return {"its ISO 9660:1999 tree", "iso9660:1999"};
    case TNameEncoding::Primary:
      if (report.rock_ridge) return {"its Rock Ridge names", "rockridge"};
      break;
  }
  return {"its ISO 9660 tree (8.3 names)", "iso9660"};
}

// The report's fields: the tree listed, its entries, and what it lacks.
TJson ListingFields(const TOrvex& disc, const std::string& image, uint32_t sector) {
  const TImportReport& report = disc.LastImport();
  TJson entries = TJson::Array();
  disc.WalkTree([&](const TOrvex::TTreeItem& item) {
    TJson entry = TJson::Object();
    entry.Text("type", item.IsDirectory ? "directory" : "file")
        .Number("size", item.Size)
        .Number("address", item.Address)
        .Text("path", item.Path);
    entries.Append(entry);
  });
  TJson gaps = TJson::Object();
  gaps.Flag("truncated", report.Truncated())
      .Number("volume_blocks", report.volume_sectors)
      .Number("image_blocks", report.source_sectors)
      .Number("damaged", report.damaged)
      .Number("bad_names", report.bad_names)
      .Number("not_added", report.not_added)
      .Flag("tables_full", report.tables_full)
      .Number("rock_ridge_damaged", report.rock_damaged);
  TJson fields = TJson::Object();
  fields.Text("image", image).Number("sector", sector).Text("tree", TreeNames(report).key);
  fields.Flag("complete", report.Complete()).Nested("gaps", gaps).Nested("entries", entries);
  return fields;
}

// Why `image` cannot be read at all (the system's reason, EISDIR for a
// directory), or 0 when it can: the component's refusal does not tell a
// missing file from one that holds no volume.
int UnreadableReason(const std::string& image) {
  const int fd = open(image.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  struct stat st;
  char byte;
  int reason = 0;
  if (fstat(fd, &st) != 0) {
    reason = errno;
  } else if (S_ISDIR(st.st_mode)) {
    reason = EISDIR;
  } else if (read(fd, &byte, 1) < 0) {
    reason = errno;
  }
  close(fd);
  return reason;
}

// Why the image could not be mounted: the system's reason, else that what
// was read holds no volume.
std::string MountFailure(const std::string& image, uint32_t sector) {
  if (const int reason = UnreadableReason(image)) {
    return "cannot read " + Printable(image) + ": " + std::strerror(reason);
  }
  return "cannot read " + Printable(image) + " as an ISO 9660 image: it holds no ISO 9660 volume" +
         (sector == 0 ? std::string() : " at block " + std::to_string(sector));
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
  TReport::Current().Fields().Text("image", image);
  TOrvex disc(nullptr);
  disc.ClearAll();
  if (!disc.MountISOImage(image, sector)) {
    Say(MountFailure(image, sector));
    return kExitFailed;
  }
  Say(Printable(image) + ": listing " + TreeNames(disc.LastImport()).said);
  if (JsonOutput()) {
    TReport::Current().Fields() = ListingFields(disc, image, sector);
  } else {
    disc.WalkTree([](const TOrvex::TTreeItem& item) {
      std::printf("%c %lld %u %s\n", item.IsDirectory ? 'd' : 'f', static_cast<long long>(item.Size), item.Address,
                  Printable(item.Path).c_str());
    });
  }
  if (WarnOfImportGaps(Printable(image), disc.LastImport())) return kExitOk;
  TReport::Current().Said("the image could not be listed whole");
  return kExitFailed;
}

}  // namespace orvex::cli
