// SPDX-License-Identifier: Apache-2.0
// The producer of an image job: streams the laid-out image, strictly in
// image order, as 64 KiB packets into the packet ring: the header, the boot
// image, the UDF file structures, the data of every file (read from disk or
// asked of its data callback), each file's last sector filled up with zeros,
// and, with the UDF bridge, the closing anchor in the image's last sector.
// When an existing image is burned (BurnISOImage) the stream is that file,
// its last packet as long as the sectors it fills.  The stream is exactly
// TotalImageSize sectors.
//
// It tells the job when the consumer may start (CanStart: the queue is full
// or holds all the data), keeps one packet fewer queued while reading files
// so that the consumer never waits on a full ring, and adjusts its own
// priority to the fill level.  A source that cannot be opened fails the run
// with error 2, one that cannot be read or reads short of its recorded size
// with error 5 (see TContentReader); either stops the job, which ends the
// consumer too.  A source that changed since it was added is noted in
// ChangedFiles.  A stream that would not have the layout's length fails with
// error 1.  An abort ends the run at the next packet.
//
// Where the sink copies ranges itself (an image file), the data of a big
// source that is unchanged since it was added is queued as ranges of the
// file instead of packets, so that its bytes never pass through here; the
// sink then reports a read failure, and the write thread a change.
#ifndef ORVEX_PIPELINE_CACHE_THREAD_H_
#define ORVEX_PIPELINE_CACHE_THREAD_H_

#include <cstddef>
#include <memory>

#include "pipeline/cd_files.h"

namespace orvex {

class TContentReader;
class TSourceOpener;

class TCacheThread : public TObject {
 public:
  // Prepares the queue of one run over a prepared layout.
  explicit TCacheThread(TCDFiles& CDFiles_);

  // The thread body.  Sets Finished and CacheThreadTerminated however it ends.
  void Execute();

 private:
  enum class TPhase { kStructures, kFiles };

  // The header, boot image, UDF structures and files of the layout.
  bool StreamLayout();
  // The existing image to burn, its last sector filled up with zeros.
  bool StreamImage();
  // The header, generated on this thread as it is streamed.  Structures that
  // do not fill the layout's header sectors exactly fail the run with error 1.
  bool StreamHeader();
  // `size` bytes into the packets, queuing each one that fills.
  bool StreamBytes(const uint8_t* bytes, size_t size);
  // The data of one entry; a source file is opened by `opener`.
  bool StreamFile(TFileEntry& entry, int32_t file_id, TSourceOpener& opener);
  // `size` bytes of an opened source, then zeros to the end of its sector.
  bool StreamContent(TContentReader& reader, uint64_t size, int32_t file_id);
  // The whole of a source as ranges the sink copies.
  bool StreamCopy(std::shared_ptr<TCopySource> source, int32_t file_id);
  bool StreamUdfStructures();
  // The last packet; checks that the stream has the layout's length.
  bool StreamEnd();
  // The bytes from the end of the stream to the image's next packet
  // boundary, which ends the packet being filled.  Packets begin on a
  // boundary but after a copied source, whose end need not be on one.
  uint32_t ToBoundary() const { return kPacketSize - static_cast<uint32_t>(streamed_ % kPacketSize); }
  // Queues the packet being filled when it is full, then waits for room.
  bool Advance(uint32_t bytes, int32_t file_id);
  bool QueueAndWait(uint32_t size, int32_t file_id);
  // After something was queued: waits until the ring has room.
  bool WaitForToBoundary();
  bool Fail(const TContentReader& reader);
  bool Fail(const TJobFailure& failure);
  void AdjustPriority();
  bool Stopped() const { return CDFiles.Aborted; }

  TCDFiles& CDFiles;
  TPacketRing& ring_;
  const bool copies_;  // the sink takes ranges of source files
  TPhase phase_ = TPhase::kStructures;
  uint8_t* packet_ = nullptr;  // the packet being filled
  uint32_t used_ = 0;          // its bytes so far
  uint64_t streamed_ = 0;      // bytes of the stream so far
};

}  // namespace orvex

#endif  // ORVEX_PIPELINE_CACHE_THREAD_H_
