// SPDX-License-Identifier: Apache-2.0
// What orvex mkiso, burn and verify do with the content options they share
// (what goes into the image and how it is laid out; cli/command_docs.cpp
// lists them): the filling of the tree from them and the SOURCE operands.
#ifndef ORVEX_CLI_CONTENT_OPTIONS_H_
#define ORVEX_CLI_CONTENT_OPTIONS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/json.h"
#include "component/orvex.h"

namespace orvex::cli {

// What the filling left out, and what smart references saved.
struct TContentSummary {
  int errors = 0;    // entries that could not be taken
  int warnings = 0;  // entries no disc could hold (special files, loops)
  int64_t saved = 0;
};

// --cache MB into `cache` (left as it is without the option); false for a
// value that is not a whole number from 2 to 600.
bool ParseCache(const TCommandLine& args, uint32_t& cache);
constexpr const char* kCacheError = "--cache takes a whole number of MiB from 2 to 600";

// Sets the image options and adds every SOURCE operand to the tree as
// --dest and --save-path say (after whatever the tree holds already), then
// runs the smart-reference search when asked for.  Every entry that cannot
// be taken is named on standard error; unless --ignore-unreadable, one is
// enough to stop.  `output` is the image file to be written, never taken as
// a source ("" for none); `cache` the packet cache in MiB.  Returns -1 to go on, else the exit status (the message is out).
int FillTree(TOrvex& disc, TSignalWatch& signals, const TCommandLine& args, const std::string& output,
             uint32_t cache, bool show, TContentSummary& summary);

// The warning for a label `asked` that the volume identifiers of the image
// cannot hold whole (disc's file systems and label set): what it becomes in
// each descriptor that cuts it.  Empty when every one holds it.
std::string LabelCutWarning(const TOrvex& disc, const std::string& asked);

// Names the sources that changed while the last image job read them (and
// lists them as the report's "changed_sources").
void WarnOfChangedSources(TOrvex& disc);

// "N files, M directories, B blocks (X MiB)" with what was saved and left out.
std::string TreeSummary(TOrvex& disc, const TCommandLine& args, const TContentSummary& summary);
// The same as the JSON object "tree" (docs/json.md).
TJson TreeFields(TOrvex& disc, const TCommandLine& args, const TContentSummary& summary);

}  // namespace orvex::cli

#endif  // ORVEX_CLI_CONTENT_OPTIONS_H_
