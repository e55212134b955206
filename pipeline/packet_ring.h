// SPDX-License-Identifier: Apache-2.0
// The bounded queue of 64 KiB packets between the producer (the cache
// thread) and the consumer (the write thread).
//
// The producer fills one packet at a time in place and queues it; the
// consumer takes the oldest, writes it out straight from its buffer and
// releases it for reuse.  Buffers are allocated once and recycled, so a
// packet costs no allocation and no copy.  Waits are plain waits on a
// condition variable: whoever changes what a stop condition reads calls
// Wake afterwards.
#ifndef ORVEX_PIPELINE_PACKET_RING_H_
#define ORVEX_PIPELINE_PACKET_RING_H_

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "pipeline/copy_source.h"

namespace orvex {

constexpr uint32_t kPacketSize = 65536;

struct TPacket {
  uint8_t* Data = nullptr;  // none for a copied range
  uint32_t Size = 0;    // valid bytes
  int32_t FileId = 0;   // the file whose data closed the packet
  // A range the sink copies from a source file instead of Data: Size image
  // bytes from Offset, past the source's data zeros.
  std::shared_ptr<TCopySource> Source;
  uint64_t Offset = 0;
};

class TPacketRing {
 public:
  // Counts queued packets into `packet_count` and queued bytes into
  // `bytes_available`, which other threads read as progress.
  TPacketRing(std::atomic<int32_t>& packet_count, std::atomic<int64_t>& bytes_available);
  TPacketRing(const TPacketRing&) = delete;
  TPacketRing& operator=(const TPacketRing&) = delete;

  // --- Producer ---
  // The buffer of the packet being filled (kPacketSize bytes, contents
  // undefined: the producer writes or zeroes every byte it queues).
  uint8_t* Filling();
  // Queues the packet being filled with `size` valid bytes.
  void Queue(uint32_t size, int32_t file_id);
  // Queues `size` image bytes of `source` from `offset` (whole sectors),
  // which the consumer copies itself; the packet being filled stays.
  void QueueCopy(std::shared_ptr<TCopySource> source, uint64_t offset, uint32_t size,
                 int32_t file_id);
  // Waits until fewer than `limit` packets are queued; false when `stop`
  // becomes true first.  A producer that found the ring full sleeps until
  // the consumer has taken a quarter of `limit`, so that the two threads
  // do not wake each other for every packet.
  bool WaitForRoom(int32_t limit, const std::function<bool()>& stop);

  // --- Consumer ---
  // Takes the oldest queued packet, waiting for one; false when `stop`
  // becomes true while none is queued.
  bool Take(TPacket& packet, const std::function<bool()>& stop);
  // Returns the taken packet's buffer (nothing for a copied range).
  void Release(const TPacket& packet);

  // Wakes every waiter to look at its stop condition again.
  void Wake();

 private:
  std::mutex mutex_;  // guards queued_, owned_ and spare_
  std::condition_variable changed_;
  std::deque<TPacket> queued_;
  std::vector<std::unique_ptr<uint8_t[]>> owned_;  // every buffer, for the ring's life
  std::vector<uint8_t*> spare_;                    // buffers neither filling, queued nor taken
  size_t room_wanted_ = 0;  // while the producer waits: the queue length that wakes it
  uint8_t* filling_ = nullptr;  // the producer's alone
  std::atomic<int32_t>& packet_count_;
  std::atomic<int64_t>& bytes_available_;
};

}  // namespace orvex

#endif  // ORVEX_PIPELINE_PACKET_RING_H_
