// SPDX-License-Identifier: Apache-2.0
// Thread priorities, in the seven levels the jobs choose from, applied best
// effort as nice values of the calling thread.  Only a privileged process
// can raise a priority again after lowering it, so an unprivileged one keeps
// every thread where it is: a producer dropped to idle while the queue is
// full must not stay there once the queue runs low.
#ifndef ORVEX_PLATFORM_THREAD_PRIORITY_H_
#define ORVEX_PLATFORM_THREAD_PRIORITY_H_

namespace orvex {

enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

void SetCurrentThreadPriority(TThreadPriority priority);

}  // namespace orvex

#endif  // ORVEX_PLATFORM_THREAD_PRIORITY_H_
