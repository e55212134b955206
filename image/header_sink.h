// SPDX-License-Identifier: Apache-2.0
// Where the header writers put their bytes: whole sectors in image order,
// each run handed out contiguous and zero-filled for the writer to fill in
// place.  The sink keeps only a bounded chunk of sectors: when the next run
// does not fit, the filled sectors go on to the consumer and the chunk is
// reused, so that a header of tens of MiB never exists whole.  A run longer
// than the chunk gets a chunk of its own size.
//
// Sectors asked for beyond the header's length are never handed on: they
// come from a scratch area, and the sink remembers that it overflowed.
#ifndef ORVEX_IMAGE_HEADER_SINK_H_
#define ORVEX_IMAGE_HEADER_SINK_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "image/sectors.h"

namespace orvex {

// Takes the next `size` bytes of the header (whole sectors, in image order).
// False stops the generation: nothing more is handed on.
using THeaderConsumer = std::function<bool(const uint8_t* bytes, size_t size)>;

class THeaderSink {
 public:
  // Sectors the chunk holds unless a single run needs more.
  static constexpr uint32_t kChunkSectors = 128;

  // A header of `sectors` sectors, handed to `consumer` in pieces of at most
  // `chunk_sectors` sectors (a longer single run comes as one piece).
  THeaderSink(uint32_t sectors, THeaderConsumer consumer, uint32_t chunk_sectors = kChunkSectors);

  // The next `count` sectors of the header, contiguous and zero-filled.  The
  // run may be written until the next AppendSectors or Finish, never after:
  // by then it may have been handed on and its memory reused.
  uint8_t* AppendSectors(uint32_t count);
  uint8_t* AppendSector() { return AppendSectors(1); }

  // `count` zero sectors (a non-positive count appends nothing).
  void AppendZeroSectors(int64_t count);

  // The sector the next AppendSector returns, counted from the image start.
  uint32_t NextSector() const { return next_; }

  // Whether the consumer refused a piece: what is written from then on is
  // lost, and a writer may give up early.
  bool Stopped() const { return stopped_; }

  // Hands on the sectors still held.  True when the consumer took the whole
  // header: every sector asked for lay within it, and all of it was asked for.
  bool Finish();

 private:
  // Gives the filled part of the chunk to the consumer and empties it.
  void HandOn();
  uint8_t* Scratch(uint64_t bytes);

  const uint32_t sectors_;
  const THeaderConsumer consumer_;
  const size_t chunk_bytes_;
  std::unique_ptr<uint8_t[]> chunk_;
  size_t capacity_ = 0;  // bytes of chunk_
  size_t used_ = 0;      // its bytes filled, not yet handed on
  uint32_t next_ = 0;
  bool overflowed_ = false;
  bool stopped_ = false;
  std::vector<uint8_t> scratch_;
};

}  // namespace orvex

#endif  // ORVEX_IMAGE_HEADER_SINK_H_
