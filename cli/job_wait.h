// SPDX-License-Identifier: Apache-2.0
// Waiting for a component's job on the command line: completion events are
// dispatched from the component's queue, progress is redrawn, and a stop
// signal (see platform/signal_watch.h) asks the job to stop; the job then ends,
// reporting the abort, like any other.
//
// A stop never waits long for a drive: the drive layer ends its own waits
// at once, but a command the drive does not answer cannot always be given
// up (the kernel's pass-through waits for its time-out).  So once the job
// has not ended kStopGraceMilliseconds after the stop, the program says
// what was interrupted and ends (ExitInterrupted), leaving the drive to
// finish or drop the command.  The one exception is the closing of a disc:
// the first stop lets it go on, so that the disc stays readable, and says
// so; a second one halts it.
#ifndef ORVEX_CLI_JOB_WAIT_H_
#define ORVEX_CLI_JOB_WAIT_H_

#include <cstdint>
#include <functional>
#include <string>

#include "component/orvex.h"

namespace orvex::cli {

// How long a stopped job may still take before the program ends without it.
constexpr uint32_t kStopGraceMilliseconds = 1500;

// Says "interrupted while `what`" and ends the program at once with exit 1:
// no destructor runs, since one would wait for the drive.
[[noreturn]] void ExitInterrupted(const std::string& what);

// Runs `work` (drive commands outside a job: finding the drives, asking the
// disc, a burn's preparation) on a thread of its own while the stop signals
// are watched.  A stop signal meanwhile aborts what the component does
// (AbortOperation) and gives `work` kStopGraceMilliseconds to end; when it
// does not, the program ends (ExitInterrupted(what)).  True when a stop
// signal came.
bool RunInterruptible(TOrvex& disc, TSignalWatch& signals, const std::string& what, const std::function<void()>& work);

// RunInterruptible, and the program ends (ExitInterrupted(what)) after a
// stop signal in any case: nothing is left to clean up.
void RunOrExit(TOrvex& disc, TSignalWatch& signals, const std::string& what, const std::function<void()>& work);

// Dispatches events and calls `tick` about ten times a second until `done`.
// `what` names what the job does on the drive ("verifying the disc"), for
// the line said when a stop ends the program before the job ended; empty
// for a job that uses no drive, which is waited for however long it takes
// to clean up (a partial image file is removed).
void WaitForEvents(TOrvex& disc, TSignalWatch& signals, const std::string& what, const std::function<bool()>& done,
                   const std::function<void()>& tick);

// Starts a write job (an image file or a burn) with `start` and waits for
// its end, the progress shown as `label` when `show`: blocks and MiB
// written, and with `drive` the drive's buffer fill (and `start`, which
// readies the disc, run as RunInterruptible).  True when the job
// succeeded; otherwise its failure has been said (for a disc refused for
// room, with `blocks` needed: 0 for the prepared layout's size).
bool RunWriteJob(TOrvex& disc, TSignalWatch& signals, const std::function<bool()>& start, const char* label,
                 bool show, bool drive, uint32_t blocks = 0);

}  // namespace orvex::cli

#endif  // ORVEX_CLI_JOB_WAIT_H_
