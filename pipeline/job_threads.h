// SPDX-License-Identifier: Apache-2.0
// The worker threads of the jobs that have run: kept so that each can be
// joined before the next job starts and when the component goes.
#ifndef ORVEX_PIPELINE_JOB_THREADS_H_
#define ORVEX_PIPELINE_JOB_THREADS_H_

#include <mutex>
#include <thread>
#include <vector>

namespace orvex {

class TJobThreads {
 public:
  TJobThreads() = default;
  TJobThreads(const TJobThreads&) = delete;
  TJobThreads& operator=(const TJobThreads&) = delete;
  ~TJobThreads() { JoinAll(); }

  void Add(std::thread thread);

  // Joins every thread.  One that is the calling thread (an event handler
  // running on a worker that starts the next job) is detached instead: it is
  // returning from its last step.
  void JoinAll();

 private:
  std::mutex mutex_;
  std::vector<std::thread> threads_;
};

}  // namespace orvex

#endif  // ORVEX_PIPELINE_JOB_THREADS_H_
