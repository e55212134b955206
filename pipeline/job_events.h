// SPDX-License-Identifier: Apache-2.0
// How jobs report their end: the completion message numbers, the event types
// of the jobs, and the rule every worker follows to deliver them.
#ifndef ORVEX_PIPELINE_JOB_EVENTS_H_
#define ORVEX_PIPELINE_JOB_EVENTS_H_

#include <cstdint>
#include <functional>

#include "platform/completion_queue.h"

namespace orvex {

class TObject;

// Completion messages (1024 + 101 to 1024 + 104) and their parameters.
constexpr uint32_t kMessageEraseDone = 1125;            // 0, failure flag
constexpr uint32_t kMessageWriteDone = 1126;            // 0, failure flag
constexpr uint32_t kMessageVerifyDone = 1127;           // FileId or -1 at the end, failure flag
constexpr uint32_t kMessageSmartReferencesDone = 1128;  // error number, bytes that can be saved

using TWriteDoneEvent = std::function<void(TObject* Sender, uint8_t DeviceId, bool WriteFailed)>;
using TVerifyDoneEvent =
    std::function<void(TObject* Sender, uint8_t DeviceId, int32_t FileId, bool Failed)>;
using TSmartRefGenDoneEvent =
    std::function<void(TObject* Sender, bool Failed, int32_t CanSaveBytes)>;

// A worker's report: nothing when its handler copy is unassigned; a record
// posted to `target` when the component has a notification queue (the
// component then raises the event on its owner's thread); otherwise
// `call_directly()` on the calling worker thread.
template <class Handler, class DirectCall>
void ReportCompletion(TCompletionQueue* target, const Handler& handler, uint32_t message,
                      int64_t wparam, int64_t lparam, DirectCall&& call_directly) {
  if (!handler) return;
  if (target != nullptr) {
    target->Post(message, wparam, lparam);
  } else {
    call_directly();
  }
}

}  // namespace orvex

#endif  // ORVEX_PIPELINE_JOB_EVENTS_H_
