// SPDX-License-Identifier: Apache-2.0
#include "platform/completion_queue.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace orvex {

TCompletionQueue::TCompletionQueue() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (fd_ < 0) {
    std::perror("orvex: eventfd");
    std::abort();
  }
}

TCompletionQueue::~TCompletionQueue() { close(fd_); }

void TCompletionQueue::Post(uint32_t message, int64_t wparam, int64_t lparam) {
  std::lock_guard<std::mutex> lock(mutex_);
  records_.push_back({message, wparam, lparam});
  if (records_.size() == 1) {
    const uint64_t one = 1;
    // The counter cannot overflow: it is 0 whenever the queue is empty.
    [[maybe_unused]] const ssize_t n = write(fd_, &one, sizeof one);
  }
}

bool TCompletionQueue::Take(TCompletionRecord& record) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (records_.empty()) return false;
  record = records_.front();
  records_.pop_front();
  if (records_.empty()) {
    uint64_t count;
    [[maybe_unused]] const ssize_t n = read(fd_, &count, sizeof count);
  }
  return true;
}

size_t TCompletionQueue::Pending() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return records_.size();
}

}  // namespace orvex
