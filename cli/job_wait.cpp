#include "cli/job_wait.h"

#include <poll.h>

namespace orvex::cli {

void WaitForEvents(TOrvex& disc, TSignalWatch& signals, const std::function<bool()>& done,
                   const std::function<void()>& tick) {
  bool aborted = false;
  while (!done()) {
    pollfd fds[2] = {{disc.NotificationHandle(), POLLIN, 0}, {signals.Fd(), POLLIN, 0}};
    poll(fds, 2, 100);
    if (signals.Poll() && !aborted) {
      disc.AbortOperation();
      aborted = true;
    }
    disc.ProcessMessages();
    tick();
  }
}

}  // namespace orvex::cli
