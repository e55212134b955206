// SPDX-License-Identifier: Apache-2.0
#include "platform/post_event.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace orvex {

TPostEvent::TPostEvent() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

TPostEvent::~TPostEvent() {
  if (fd_ >= 0) close(fd_);
}

TPostEvent::TWait TPostEvent::Wait(std::chrono::milliseconds limit, const TPostEvent* other) {
  if (fd_ < 0) return TWait::kTimedOut;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    // Rounded up: a wait of 1 ms polls for 1 ms, not for none.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd waits[2] = {{fd_, POLLIN, 0}, {other != nullptr ? other->fd_ : -1, POLLIN, 0}};
    const int ready = poll(waits, 2, static_cast<int>(std::clamp<int64_t>(left.count(), 0, 60'000)));
    if (ready > 0 && (waits[0].revents & POLLIN) != 0) {
      Reset();
      return TWait::kSignalled;
    }
    if (ready > 0 && (waits[1].revents & POLLIN) != 0) return TWait::kOther;
    if ((ready < 0 && errno != EINTR) || left.count() <= 0) return TWait::kTimedOut;
  }
}

void TPostEvent::Signal() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = write(fd_, &one, sizeof one);
}

void TPostEvent::Reset() {
  uint64_t value;
  while (read(fd_, &value, sizeof value) == static_cast<ssize_t>(sizeof value)) {
  }
}

}  // namespace orvex
