// The producer of an image job: streams the laid-out image, strictly in
// image order, as 64 KiB packets into the packet ring: the header, the boot
// image, the UDF file structures, the data of every file (read from disk or
// asked of its data callback), each file's last sector filled up with zeros,
// and, with the UDF bridge, the closing anchor in the image's last sector.
// The stream is exactly TotalImageSize sectors.
//
// It tells the job when the consumer may start (CanStart: the queue is full
// or holds all the data), keeps one packet fewer queued while reading files
// so that the consumer never waits on a full ring, and adjusts its own
// priority to the fill level.  A source that cannot be opened fails the run
// with error 2, one that cannot be read or reads short of its recorded size
// with error 5 (FileName names it); either sets Aborted, which ends the
// consumer too.  An abort ends the run at the next packet.
#ifndef ORVEX_PIPELINE_CACHE_THREAD_H_
#define ORVEX_PIPELINE_CACHE_THREAD_H_

#include "pipeline/cd_files.h"

namespace orvex {

class TCacheThread : public TObject {
 public:
  // Prepares the queue of one run over a layout whose header is generated.
  explicit TCacheThread(TCDFiles& CDFiles_);

  // The thread body.  Sets Finished and CacheThreadTerminated however it ends.
  void Execute();

 private:
  enum class TPhase { kStructures, kFiles };

  bool StreamBytes(const uint8_t* data, uint64_t size);
  bool StreamFile(TFileEntry* entry, const std::string& path, uint64_t size, int32_t file_id);
  bool StreamUdfStructures();
  bool StreamEnd();
  // Queues the packet being filled when it is full, then waits for room.
  bool Advance(uint32_t bytes, int32_t file_id);
  bool QueueAndWait(uint32_t size, int32_t file_id);
  bool Fail(uint32_t error, const std::u16string& name);
  void AdjustPriority();
  bool Stopped() const { return CDFiles.Aborted; }

  TCDFiles& CDFiles;
  TPacketRing& ring_;
  TPhase phase_ = TPhase::kStructures;
  uint8_t* packet_ = nullptr;  // the packet being filled
  uint32_t used_ = 0;          // its bytes so far
};

}  // namespace orvex

#endif  // ORVEX_PIPELINE_CACHE_THREAD_H_
