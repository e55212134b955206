// SPDX-License-Identifier: Apache-2.0
#include "cli/job_wait.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "cli/commands.h"
#include "cli/json_report.h"
#include "cli/messages.h"
#include "cli/progress_bar.h"
#include "cli/write_refusal.h"

namespace orvex::cli {
namespace {

uint64_t NowMilliseconds() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

// What a job whose status is `status` is doing, where the status says
// more than the caller's `what`.
std::string Doing(uint16_t status, const std::string& what) {
  if (what.empty()) return what;
  switch (status) {
    case kStatusBackgroundFormat:
      return "formatting the disc";
    case kStatusClosingSession:
      return "closing the disc";
    default:
      return what;
  }
}

// The stop signals during a job: the first asks the job to stop, a second
// one while it closes the disc halts the closing; a job that keeps the
// program past its grace ends it.
class TStopping {
 public:
  TStopping(TOrvex& disc, TSignalWatch& signals, std::string what)
      : disc_(disc), signals_(signals), what_(std::move(what)), handled_(signals.Count()) {}

  void Look(bool done) {
    signals_.Poll();
    for (; handled_ < signals_.Count(); ++handled_) Take();
    if (stopped_ && !noted_ && !halting_ && disc_.JobClosing()) {
      Say("closing the disc goes on so that it stays readable; stop again to end it at once");
      noted_ = true;
    }
    // A job that uses no drive (what_ empty) cleans up however long it takes.
    if (deadline_ != 0 && !done && !what_.empty() && (!noted_ || halting_) && NowMilliseconds() >= deadline_) {
      ExitInterrupted(what_);
    }
  }

  // Whether a stop was asked for.
  bool Stopped() const { return stopped_; }

 private:
  void Take() {
    if (!stopped_) {
      what_ = Doing(disc_.ComponentStatus(), what_);
      stopped_ = true;
    } else if (!halting_ && disc_.JobClosing()) {
      what_ = "closing the disc";
      halting_ = true;
    } else {
      return;  // the stop asked for goes on
    }
    disc_.AbortOperation();
    deadline_ = NowMilliseconds() + kStopGraceMilliseconds;
  }

  TOrvex& disc_;
  TSignalWatch& signals_;
  std::string what_;
  unsigned handled_;
  bool stopped_ = false, noted_ = false, halting_ = false;
  uint64_t deadline_ = 0;  // when the program ends without the job; 0: not yet
};

}  // namespace

void ExitInterrupted(const std::string& what) {
  Say("interrupted while " + what);
  TReport::Current().Finish(kExitFailed);
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(kExitFailed);
}

bool RunInterruptible(TOrvex& disc, TSignalWatch& signals, const std::string& what, const std::function<void()>& work) {
  TStopping stopping(disc, signals, what);
  const int finished = eventfd(0, EFD_CLOEXEC);
  std::atomic<bool> done{false};
  std::thread worker([&] {
    work();
    done = true;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(finished, &one, sizeof one);
  });
  while (!done) {
    pollfd fds[2] = {{finished, POLLIN, 0}, {signals.Fd(), POLLIN, 0}};
    poll(fds, 2, 100);
    stopping.Look(done);
  }
  worker.join();
  close(finished);
  return stopping.Stopped();
}

void RunOrExit(TOrvex& disc, TSignalWatch& signals, const std::string& what, const std::function<void()>& work) {
  if (RunInterruptible(disc, signals, what, work)) ExitInterrupted(what);
}

void WaitForEvents(TOrvex& disc, TSignalWatch& signals, const std::string& what, const std::function<bool()>& done,
                   const std::function<void()>& tick) {
  TStopping stopping(disc, signals, what);
  while (!done()) {
    pollfd fds[2] = {{disc.NotificationHandle(), POLLIN, 0}, {signals.Fd(), POLLIN, 0}};
    poll(fds, 2, 100);
    disc.ProcessMessages();
    stopping.Look(done());
    tick();
  }
}

bool RunWriteJob(TOrvex& disc, TSignalWatch& signals, const std::function<bool()>& start, const char* label,
                 bool show, bool drive, uint32_t blocks) {
  bool done = false, failed = false;
  disc.SetOnWriteDone([&](TObject*, uint8_t, bool f) { done = true, failed = f; });
  bool started = false;
  if (drive) {
    // A stop that came just as the job started is the job's.
    if (RunInterruptible(disc, signals, "readying the disc", [&] { started = start(); }) && started) {
      disc.AbortOperation();
    }
  } else {
    started = start();
  }
  // A refused job ends at once; one that stopped while the queue filled
  // has reported its end, which waits in the queue.
  const TOrvex::TErrorInfo refusal = started ? TOrvex::TErrorInfo{} : disc.TakeError();
  {
    TProgressBar bar(label, show && started);
    const char* what = drive ? "writing the disc" : "";
    WaitForEvents(disc, signals, what, [&] { return done || (!started && !disc.JobRunning()); }, [&] {
      if (drive && disc.JobClosing()) {
        // The drive says nothing while it closes, for a minute or more.
        bar.UpdateState(disc.FinalizeDisc() ? "finalizing the disc" : "closing the session",
                        "Ctrl-C lets it finish, a second one ends it");
        return;
      }
      const uint64_t total = disc.ImageSize(), written = disc.BlocksWritten();
      std::vector<TProgressFigure> figures;
      if (drive && disc.DeviceBufferSize() > 0) {
        const uint64_t fill = uint64_t{disc.DeviceBufferPosition()} * 100 / disc.DeviceBufferSize();
        figures.push_back({"buffer " + std::to_string(fill) + "%", "buffer_percent", fill});
      }
      figures.push_back({"blocks " + std::to_string(written) + "/" + std::to_string(total), "blocks_written", written});
      bar.Update(written * 2048, total * 2048, figures);
    });
  }
  disc.SetOnWriteDone(nullptr);
  if (started && !failed) return true;
  const TOrvex::TErrorInfo error = started ? disc.TakeError() : refusal;
  TReport::Current().Failed(error);
  Say(drive ? WriteRefusalMessage(disc, error, blocks != 0 ? blocks : disc.ImageSize()) : FailureMessage(error));
  return false;
}

}  // namespace orvex::cli
