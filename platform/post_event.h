// SPDX-License-Identifier: Apache-2.0
// The event a driver library signals when a command it accepted as pending
// completes: an eventfd the library writes the value 1 to.
#ifndef ORVEX_PLATFORM_POST_EVENT_H_
#define ORVEX_PLATFORM_POST_EVENT_H_

#include <chrono>
#include <cstdint>

namespace orvex {

class TPostEvent {
 public:
  TPostEvent();
  ~TPostEvent();
  TPostEvent(const TPostEvent&) = delete;
  TPostEvent& operator=(const TPostEvent&) = delete;

  // The descriptor handed to the library; -1 when none could be made.
  int Fd() const { return fd_; }

  enum class TWait : uint8_t {
    kSignalled,  // this event: it is reset
    kOther,      // the other event given: it is left as it is
    kTimedOut,   // neither within the time (or no descriptor to wait on)
  };
  // Waits until the event, or `other` when given, is signalled, at most `limit`.
  TWait Wait(std::chrono::milliseconds limit, const TPostEvent* other = nullptr);

  // Signals the event (any thread).
  void Signal();
  // Takes a signal that came without a wait.
  void Reset();

 private:
  int fd_ = -1;
};

}  // namespace orvex

#endif  // ORVEX_PLATFORM_POST_EVENT_H_
