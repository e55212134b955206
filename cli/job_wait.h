// Waiting for a component's job on the command line: completion events are
// dispatched from the component's queue, progress is redrawn, and a stop
// signal (see signal_watch.h) asks the job to stop; the job then ends,
// reporting the abort, like any other.
#ifndef ORVEX_CLI_JOB_WAIT_H_
#define ORVEX_CLI_JOB_WAIT_H_

#include <functional>

#include "cli/signal_watch.h"
#include "component/orvex.h"

namespace orvex::cli {

// Dispatches events and calls `tick` about ten times a second until `done`.
void WaitForEvents(TOrvex& disc, TSignalWatch& signals, const std::function<bool()>& done,
                   const std::function<void()>& tick);

}  // namespace orvex::cli

#endif  // ORVEX_CLI_JOB_WAIT_H_
