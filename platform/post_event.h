// The event a driver library signals when a command it accepted as pending
// completes: an eventfd the library writes the value 1 to.
#ifndef ORVEX_PLATFORM_POST_EVENT_H_
#define ORVEX_PLATFORM_POST_EVENT_H_

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

  // Waits until the event is signalled, at most `seconds`, and resets it;
  // false when the time ran out first.
  bool Wait(uint32_t seconds);

  // Takes a signal that came without a wait.
  void Reset();

 private:
  int fd_ = -1;
};

}  // namespace orvex

#endif  // ORVEX_PLATFORM_POST_EVENT_H_
