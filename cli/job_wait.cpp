#include "cli/job_wait.h"

#include <poll.h>

#include <string>

#include "cli/messages.h"
#include "cli/progress_bar.h"

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

bool RunWriteJob(TOrvex& disc, TSignalWatch& signals, const std::function<bool()>& start, const char* label,
                 bool show, bool drive) {
  bool done = false, failed = false;
  disc.SetOnWriteDone([&](TObject*, uint8_t, bool f) { done = true, failed = f; });
  const bool started = start();
  // A refused job ends at once; one that stopped while the queue filled
  // has reported its end, which waits in the queue.
  const TOrvex::TErrorInfo refusal = started ? TOrvex::TErrorInfo{} : disc.TakeError();
  {
    TProgressBar bar(label, show && started);
    WaitForEvents(disc, signals, [&] { return done || (!started && !disc.JobRunning()); }, [&] {
      const uint64_t total = disc.ImageSize(), written = disc.BlocksWritten();
      std::string extra = "blocks " + std::to_string(written) + "/" + std::to_string(total);
      if (drive && disc.DeviceBufferSize() > 0) {
        extra += "  buffer " + std::to_string(uint64_t{disc.DeviceBufferPosition()} * 100 / disc.DeviceBufferSize()) + "%";
      }
      bar.Update(written * 2048, total * 2048, extra);
    });
  }
  disc.SetOnWriteDone(nullptr);
  if (started && !failed) return true;
  SayFailure(started ? disc.TakeError() : refusal);
  return false;
}

}  // namespace orvex::cli
