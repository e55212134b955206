// SPDX-License-Identifier: Apache-2.0
// orvex mkiso -o OUT [options] SOURCE...
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_docs.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/content_options.h"
#include "cli/job_wait.h"
#include "cli/json_report.h"
#include "cli/messages.h"
#include "cli/progress_bar.h"
#include "component/orvex.h"

namespace orvex::cli {

int RunMkiso(int argc, char** argv) {
  const TCommandLine args(argc, argv, 2, CommandDoc("mkiso"));
  if (const int stop = AnswerHelpOrError(args); stop >= 0) return stop;
  const std::string output = args.Value("--output");
  if (output.empty()) return Usage(args, "no output image given (-o OUT)");
  if (args.Operands().empty()) return Usage(args, "no SOURCE given");
  // An image file has no deadline to meet, so a large cache buys nothing;
  // a small one keeps the packets in the processor's caches between
  // reading and writing, and large files go through much faster.
  uint32_t cache = 8;
  if (!ParseCache(args, cache)) return Usage(args, kCacheError);
  TSignalWatch signals;  // before the component: its threads inherit the blocked signals
  TComponent owner(nullptr);
  TOrvex disc(&owner);
  disc.ClearAll();
  const bool show = ShowProgress(args);
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
