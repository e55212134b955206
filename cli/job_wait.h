// Waiting for a component's job on the command line: completion events are
// dispatched from the component's queue, progress is redrawn, and Ctrl-C
// aborts the job (the job then ends, reporting the abort, like any other).
#ifndef ORVEX_CLI_JOB_WAIT_H_
#define ORVEX_CLI_JOB_WAIT_H_

#include <functional>

#include "component/orvex.h"

namespace orvex::cli {

// While alive, Ctrl-C (SIGINT, SIGTERM) aborts the running job of `disc`.
class TAbortOnInterrupt {
 public:
  explicit TAbortOnInterrupt(TOrvex& disc);
  ~TAbortOnInterrupt();
  TAbortOnInterrupt(const TAbortOnInterrupt&) = delete;
  TAbortOnInterrupt& operator=(const TAbortOnInterrupt&) = delete;

  static bool Interrupted();
};

// Dispatches events and calls `tick` about ten times a second until `done`.
void WaitForEvents(TOrvex& disc, const std::function<bool()>& done, const std::function<void()>& tick);

}  // namespace orvex::cli

#endif  // ORVEX_CLI_JOB_WAIT_H_
