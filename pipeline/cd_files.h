// SPDX-License-Identifier: Apache-2.0
// The content and layout record, whole: the content tree and layout halves
// plus the job state that the pipeline and the disc services share with the
// component (error number, abort flag, progress counters, notification
// target).  Fields written by worker threads and read by the component's
// thread are atomic.
#ifndef ORVEX_PIPELINE_CD_FILES_H_
#define ORVEX_PIPELINE_CD_FILES_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "image/image_layout.h"
#include "pipeline/content_reader.h"
#include "pipeline/job_control.h"
#include "pipeline/job_events.h"
#include "pipeline/packet_ring.h"
#include "pipeline/packet_sink.h"
#include "pipeline/verify_report.h"
#include "platform/completion_queue.h"
#include "platform/object.h"
#include "platform/thread_priority.h"

namespace orvex {

// FileIds noted by a worker and read by the component's thread.
class TSharedIds {
 public:
  void Add(int32_t id) {
    std::lock_guard<std::mutex> lock(mutex_);
    ids_.push_back(id);
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    ids_.clear();
  }
  std::vector<int32_t> Get() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ids_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<int32_t> ids_;
};

class TCDFiles : public TImageLayout {
 public:
  std::atomic<bool> Aborted{false};        // set by an abort or a fatal job error
  std::atomic<uint32_t> ErrorNumber{0};    // the pending job error, 0 = none
  TSharedText FileName;                    // the file the pending error names
  std::atomic<int> SystemError{0};         // the system's reason for it (errno), 0 = none
  TGuarded<TCommandFailure> FailedCommand;  // the drive command it comes from; `failed` false when none
  TCompletionQueue* hWNDFE = nullptr;      // where workers post completions; null: call directly
  // The running job's lifecycle: begin, stop, wait, end.
  TJobControl Job{Aborted, PendingError()};

  // The slots of the pending error, for a job that sets it without stopping.
  TPendingError PendingError() { return {ErrorNumber, FileName, SystemError, FailedCommand}; }

  uint32_t CacheSize = 0;                  // packet ring capacity in bytes

  std::atomic<int32_t> PacketCount{0};     // packets waiting in the ring
  std::atomic<uint32_t> BlocksWritten{0};  // blocks written in the current run
  std::atomic<int32_t> ReadingFile{0};     // FileId the producer reads
  std::atomic<int32_t> WritingFile{0};     // FileId the writer writes
  std::atomic<uint32_t> VerifySize{0};     // blocks to verify
  std::atomic<uint32_t> VerifyProgress{0};
  TSharedVerifyReport VerifyFindings;     // what the last verification found
  std::atomic<uint32_t> SmartReferencesSize{0};  // blocks to examine
  std::atomic<uint32_t> SmartReferencesProgress{0};

  // --- The image job -----------------------------------------------------------
  bool SaveToISOImage = false;   // the packets go to an image file
  bool BurnISOImage = false;     // the source is an existing image file
  std::u16string ISOFileName;    // the image file's name
  std::unique_ptr<TContentReader> ImageSource;  // the opened image to burn, until it is streamed
  uint64_t ImageBytes = 0;       // its size
  std::unique_ptr<TPacketSink> Sink;  // where the running job's packets go
  TSharedIds ChangedFiles;       // sources the last image job found changed since they were added
  TWriteDoneEvent cbWriteDone;   // the done event of the running write job
  TSmartRefGenDoneEvent cbGenSmRefEvent;  // the done event of the smart-reference search

  // --- The packet queue, between the cache and the write thread ---------------
  std::unique_ptr<TPacketRing> Packets;
  int32_t MaxPackets = 0;                    // packets queued at most
  TThreadPriority vPriority = TThreadPriority::tpLower;  // the cache thread's, last given
  int32_t NoOfFiles = 0;                     // entries in the file table at the start
  std::atomic<int64_t> BytesAvailable{0};    // queued and not yet taken
  std::atomic<int64_t> RemainingBlocks{0};   // sectors the consumer has yet to take
  std::atomic<bool> Finished{false};         // the producer has ended (done, failed or aborted)
  std::atomic<bool> CanStart{false};         // the consumer may start: the queue is full or complete
  std::atomic<bool> CacheThreadTerminated{false};  // Job is notified when it and CanStart change
};

}  // namespace orvex

#endif  // ORVEX_PIPELINE_CD_FILES_H_
