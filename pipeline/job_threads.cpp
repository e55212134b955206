// SPDX-License-Identifier: Apache-2.0
#include "pipeline/job_threads.h"

namespace orvex {

void TJobThreads::Add(std::thread thread) {
  std::lock_guard<std::mutex> lock(mutex_);
  threads_.push_back(std::move(thread));
}

void TJobThreads::JoinAll() {
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    threads.swap(threads_);
  }
  for (std::thread& thread : threads) {
    if (thread.get_id() == std::this_thread::get_id()) {
      thread.detach();
    } else if (thread.joinable()) {
      thread.join();
    }
  }
}

}  // namespace orvex
