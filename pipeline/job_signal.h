// Where the job's threads wait for each other's flags: the start routine for
// CanStart or an abort, the write thread for the producer's end.  The flags
// are atomics; a change is signalled so that waiters wake at once, and every
// wait also looks again every 100 ms, since an abort may come from a signal
// handler, which cannot signal.
#ifndef ORVEX_PIPELINE_JOB_SIGNAL_H_
#define ORVEX_PIPELINE_JOB_SIGNAL_H_

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace orvex {

class TJobSignal {
 public:
  // Wakes every waiter; call it after changing a flag they wait on.
  void Notify() {
    { std::lock_guard<std::mutex> lock(mutex_); }
    changed_.notify_all();
  }

  // Returns once `ready()` holds.
  template <class Ready>
  void WaitUntil(Ready ready) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!ready()) changed_.wait_for(lock, std::chrono::milliseconds(100));
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
};

}  // namespace orvex

#endif  // ORVEX_PIPELINE_JOB_SIGNAL_H_
