// orvex ls IMAGE
#include <cstdint>
#include <cstdio>
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

TTreeNames TreeNames(TNameEncoding names) {
  switch (names) {
    case TNameEncoding::Ucs2:
      return {"its Joliet tree", "joliet"};
    case TNameEncoding::EightBit:
      return {"its ISO 9660:1999 tree", "iso9660:1999"};
    case TNameEncoding::Primary:
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
      .Flag("tables_full", report.tables_full);
  TJson fields = TJson::Object();
  fields.Text("image", image).Number("sector", sector).Text("tree", TreeNames(report.names).key);
  fields.Flag("complete", report.Complete()).Nested("gaps", gaps).Nested("entries", entries);
  return fields;
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
    Say("cannot read " + Printable(image) + " as an ISO 9660 image");
    return kExitFailed;
  }
  Say(Printable(image) + ": listing " + TreeNames(disc.LastImport().names).said);
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
