// Waiting for a component's job on the command line: completion events are
// dispatched from the component's queue, progress is redrawn, and a stop
// signal (see platform/signal_watch.h) asks the job to stop; the job then ends,
// reporting the abort, like any other.
#ifndef ORVEX_CLI_JOB_WAIT_H_
#define ORVEX_CLI_JOB_WAIT_H_

#include <functional>

#include "component/orvex.h"

namespace orvex::cli {

// Dispatches events and calls `tick` about ten times a second until `done`.
void WaitForEvents(TOrvex& disc, TSignalWatch& signals, const std::function<bool()>& done,
                   const std::function<void()>& tick);

// Starts a write job (an image file or a burn) with `start` and waits for
// its end, the progress shown as `label` when `show`: blocks and MiB
// written, and with `drive` the drive's buffer fill.  True when the job
// succeeded; otherwise its failure has been said.
bool RunWriteJob(TOrvex& disc, TSignalWatch& signals, const std::function<bool()>& start, const char* label,
                 bool show, bool drive);

}  // namespace orvex::cli

#endif  // ORVEX_CLI_JOB_WAIT_H_
