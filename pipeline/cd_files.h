// The content and layout record, whole: the content tree and layout halves
// plus the job state that the pipeline and the disc services share with the
// component (error number, abort flag, progress counters, notification
// target).  Fields written by worker threads and read by the component's
// thread are atomic.
#ifndef ORVEX_PIPELINE_CD_FILES_H_
#define ORVEX_PIPELINE_CD_FILES_H_

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>

#include "image/image_layout.h"
#include "platform/completion_queue.h"

namespace orvex {

// A text shared between a worker that sets it and the thread that reads it.
class TSharedText {
 public:
  void Set(std::u16string text) {
    std::lock_guard<std::mutex> lock(mutex_);
    text_ = std::move(text);
  }
  std::u16string Get() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return text_;
  }

 private:
  mutable std::mutex mutex_;
  std::u16string text_;
};

class TCDFiles : public TImageLayout {
 public:
  std::atomic<bool> Aborted{false};        // set by an abort or a fatal job error
  std::atomic<uint32_t> ErrorNumber{0};    // the pending job error, 0 = none
  TSharedText FileName;                    // the source path opened last, for error texts
  TCompletionQueue* hWNDFE = nullptr;      // where workers post completions; null: call directly

  uint32_t CacheSize = 0;                  // packet ring capacity in bytes

  std::atomic<int32_t> PacketCount{0};     // packets waiting in the ring
  std::atomic<uint32_t> BlocksWritten{0};  // blocks written in the current run
  std::atomic<int32_t> ReadingFile{0};     // FileId the producer reads
  std::atomic<int32_t> WritingFile{0};     // FileId the writer writes
  std::atomic<uint32_t> VerifySize{0};     // blocks to verify
  std::atomic<uint32_t> VerifyProgress{0};
  std::atomic<uint32_t> SmartReferencesSize{0};  // blocks to examine
  std::atomic<uint32_t> SmartReferencesProgress{0};
};

}  // namespace orvex

#endif  // ORVEX_PIPELINE_CD_FILES_H_
