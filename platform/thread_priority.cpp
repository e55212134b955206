// SPDX-License-Identifier: Apache-2.0
#include "platform/thread_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace orvex {

void SetCurrentThreadPriority(TThreadPriority priority) {
  if (geteuid() != 0) return;
  static constexpr int kNice[] = {19, 10, 5, 0, -5, -10, -20};
  const auto tid = static_cast<id_t>(syscall(SYS_gettid));
  setpriority(PRIO_PROCESS, tid, kNice[static_cast<int>(priority)]);
}

}  // namespace orvex
