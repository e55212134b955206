#include "platform/post_event.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace orvex {

TPostEvent::TPostEvent() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

TPostEvent::~TPostEvent() {
  if (fd_ >= 0) close(fd_);
}

bool TPostEvent::Wait(uint32_t seconds) {
  if (fd_ < 0) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd_, POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(std::min<int64_t>(left.count(), 60'000)));
    if (ready > 0) {
      Reset();
      return true;
    }
    if (ready < 0 && errno != EINTR) return false;
  }
}

void TPostEvent::Reset() {
  uint64_t value;
  while (read(fd_, &value, sizeof value) == static_cast<ssize_t>(sizeof value)) {
  }
}

}  // namespace orvex
