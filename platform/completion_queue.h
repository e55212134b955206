// SPDX-License-Identifier: Apache-2.0
// The completion-record queue that stands in for a hidden notification
// window: worker threads post records, the owner's thread takes them in
// posting order.  Its file descriptor (an eventfd) is readable exactly while
// records wait, so poll loops and GUI toolkits can watch it.
#ifndef ORVEX_PLATFORM_COMPLETION_QUEUE_H_
#define ORVEX_PLATFORM_COMPLETION_QUEUE_H_

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

namespace orvex {

struct TCompletionRecord {
  uint32_t Message = 0;
  int64_t WParam = 0;
  int64_t LParam = 0;
};

class TCompletionQueue {
 public:
  TCompletionQueue();  // aborts the process if no eventfd can be created
  ~TCompletionQueue();
  TCompletionQueue(const TCompletionQueue&) = delete;
  TCompletionQueue& operator=(const TCompletionQueue&) = delete;

  // Thread-safe; never blocks for long.
  void Post(uint32_t message, int64_t wparam, int64_t lparam);

  // Takes the oldest record; false when none waits.
  bool Take(TCompletionRecord& record);

  size_t Pending() const;

  int Fd() const { return fd_; }

 private:
  mutable std::mutex mutex_;
  std::deque<TCompletionRecord> records_;
  int fd_;
};

}  // namespace orvex

#endif  // ORVEX_PLATFORM_COMPLETION_QUEUE_H_
