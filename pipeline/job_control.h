// SPDX-License-Identifier: Apache-2.0
// The one lifecycle every job follows: it begins on the component's thread,
// runs on worker threads that wait for each other here, can be asked to
// stop from the component's thread at any moment, and ends on its last
// worker with exactly one completion event.
//
// A job that closes a disc is the exception: a stop lets the closing run
// to its end, and only a second one halts it (UserStop).
//
// Stopping wakes every waiter at once: waits are plain condition waits, so
// every change a waiter waits for is followed by Notify, and a stop also
// wakes the one outside wait a job registers (its packet ring's).  Nothing
// here may be called from a signal handler.
//
// Which lock guards what: `mutex_` guards `waker_` and orders the flags with
// the condition variable; the flags themselves are atomics, read without it.
#ifndef ORVEX_PIPELINE_JOB_CONTROL_H_
#define ORVEX_PIPELINE_JOB_CONTROL_H_

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "pipeline/job_errors.h"
#include "pipeline/job_threads.h"

namespace orvex {

// A value shared between a worker that sets it and the thread that reads it.
template <class T>
class TGuarded {
 public:
  void Set(T value) {
    std::lock_guard<std::mutex> lock(mutex_);
    value_ = std::move(value);
  }
  T Get() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return value_;
  }

 private:
  mutable std::mutex mutex_;
  T value_{};
};
using TSharedText = TGuarded<std::u16string>;

// The pending job error the component reports: the number, the file it
// names, the system's reason (errno) and the drive command that failed, set
// together by a failing worker.
struct TPendingError {
  std::atomic<uint32_t>& Number;
  TSharedText& FileName;
  std::atomic<int>& SystemError;
  TGuarded<TCommandFailure>& Command;

  void Set(const TJobFailure& failure) {
    FileName.Set(failure.name);
    SystemError = failure.system_error;
    Command.Set(failure.command);
    Number = failure.error;
  }
};

class TJobControl {
 public:
  // `aborted` is the flag every worker polls.
  TJobControl(std::atomic<bool>& aborted, TPendingError error) : aborted_(aborted), error_(error) {}
  TJobControl(const TJobControl&) = delete;
  TJobControl& operator=(const TJobControl&) = delete;

  // Whether a job runs (from Begin until its end event is on its way).
  bool Running() const { return running_; }

  // True once no job runs; the threads of the job that ran last are then
  // joined.  False, changing nothing, while one runs.
  bool Idle();

  // Starts a job: false, changing nothing, while one runs.  Otherwise the
  // threads of the last job are joined, the abort flag, the failure and the
  // pending error are cleared (so that the job's outcome is its own), and a
  // job runs.
  bool Begin();

  // Runs `body` on a new worker thread of the running job.
  void Start(std::function<void()> body) { workers_.Add(std::thread(std::move(body))); }

  // Asks the running job to stop: the abort flag and the failure are set,
  // `error` (unless 0) becomes the pending error, and every waiter wakes.
  void RequestStop(uint32_t error);

  // The user asks the job to stop (AbortOperation).  A job that closes the
  // disc goes on closing after the first such request, so that the disc
  // stays readable; one more while it closes halts it: the pending error
  // becomes kErrorClosingHalted, and Halted() ends the closing's waits.
  // Otherwise as RequestStop(kErrorAborted).  True when it halted.
  bool UserStop();

  // From now on the job closes the disc (see UserStop).
  void BeginClosing() { closing_ = true; }
  bool Closing() const { return closing_; }
  const std::atomic<bool>& Halted() const { return halted_; }

  // A worker's failure: the pending error, then a stop.
  void Fail(const TJobFailure& failure);

  // Whether the job failed or was asked to stop since it began.
  bool Failed() const { return failed_; }
  bool Stopping() const { return aborted_; }

  // Wakes every waiter; call it after changing anything they wait for.
  void Notify();

  // Returns once `ready()` holds.
  template <class Ready>
  void WaitUntil(Ready ready) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, ready);
  }

  // The wait of another object that a stop must wake too, for as long as
  // that object lives (null: none).
  void SetWaker(std::function<void()> wake);

  // Ends the job, on its last worker: no job runs any more, and `report`
  // then delivers the completion event (so that its handler may start the
  // next job).
  void End(const std::function<void()>& report);

  // Joins every worker (the component's end).
  void JoinAll() { workers_.JoinAll(); }

  // Ends the job with End(report) when it goes out of scope, however the
  // worker that holds it leaves: a job always reports, and only once.
  class TEndGuard {
   public:
    TEndGuard(TJobControl& job, std::function<void()> report) : job_(job), report_(std::move(report)) {}
    ~TEndGuard() { job_.End(report_); }
    TEndGuard(const TEndGuard&) = delete;
    TEndGuard& operator=(const TEndGuard&) = delete;

   private:
    TJobControl& job_;
    std::function<void()> report_;
  };

 private:
  std::atomic<bool>& aborted_;
  TPendingError error_;
  std::atomic<bool> running_{false};
  std::atomic<bool> failed_{false};
  std::atomic<bool> closing_{false};
  std::atomic<bool> halted_{false};
  std::atomic<uint32_t> user_stops_{0};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::function<void()> waker_;  // guarded by mutex_
  TJobThreads workers_;
};

}  // namespace orvex

#endif  // ORVEX_PIPELINE_JOB_CONTROL_H_
