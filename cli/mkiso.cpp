// orvex mkiso -o OUT [options] SOURCE...
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/content_options.h"
#include "cli/job_wait.h"
#include "cli/json_report.h"
#include "cli/messages.h"
#include "component/orvex.h"

namespace orvex::cli {
namespace {

constexpr const char* kUsage =
    "usage: orvex mkiso -o OUT [options] SOURCE...\n"
    "\n"
    "Builds the ISO 9660 image OUT from the files and directories SOURCE.\n"
    "A directory is added with everything below it, a file as it is.  Every\n"
    "entry that cannot be taken is named on standard error; then nothing is\n"
    "written unless --ignore-unreadable is given.  OUT appears only when the\n"
    "image is complete: an image it replaces stays intact until then.\n"
    "\n"
    "options:\n"
    "  -o, --output OUT      the image file to write (replaced if it exists)\n";

constexpr const char* kOwnHelp =
    "  -h, --help            this help\n";

const std::vector<TOptionSpec> kOptions =
    WithContentOptions({{{"-o", "--output"}, true}, {{"-h", "--help"}, false}, JsonOption()});

int UsageError(const std::string& message) {
  std::fprintf(stderr, "orvex mkiso: %s\n%s%s%s%s", message.c_str(), kUsage, kContentOptionsHelp, kJsonHelp, kOwnHelp);
  return kExitUsage;
}

}  // namespace

int RunMkiso(int argc, char** argv) {
  const TCommandLine args(argc, argv, 2, kOptions);
  if (!args.Error().empty()) return UsageError(args.Error());
  if (args.Has("--help")) {
    std::printf("%s%s%s%s", kUsage, kContentOptionsHelp, kJsonHelp, kOwnHelp);
    return kExitOk;
  }
  TReport::Current().Enable(args);
  const std::string output = args.Value("--output");
  if (output.empty()) return UsageError("no output image given (-o OUT)");
  if (args.Operands().empty()) return UsageError("no SOURCE given");
  // An image file has no deadline to meet, so a large cache buys nothing;
  // a small one keeps the packets in the processor's caches between
  // reading and writing, and large files go through much faster.
  uint32_t cache = 8;
  if (!ParseCache(args, cache)) return UsageError(kCacheError);
  TSignalWatch signals;  // before the component: its threads inherit the blocked signals
  TComponent owner(nullptr);
  TOrvex disc(&owner);
  disc.ClearAll();
  const bool show = !args.Has("--quiet") && !JsonOutput() && isatty(STDERR_FILENO);
  TReport::Current().Fields().Text("output", output);
  TContentSummary summary;
  if (const int stop = FillTree(disc, signals, args, output, cache, show, summary); stop >= 0) return stop;
  disc.Prepare();
  if (!RunWriteJob(disc, signals, [&] { return disc.BuildISOImage(output); }, "Writing", show, false)) {
    return kExitFailed;
  }
  WarnOfChangedSources(disc);
  TReport::Current().Fields().Nested("tree", TreeFields(disc, args, summary));
  if (!JsonOutput()) std::printf("%s: %s\n", Printable(output).c_str(), TreeSummary(disc, args, summary).c_str());
  return kExitOk;
}

}  // namespace orvex::cli
