// SPDX-License-Identifier: Apache-2.0
#include "image/header_sink.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace orvex {

THeaderSink::THeaderSink(uint32_t sectors, THeaderConsumer consumer, uint32_t chunk_sectors)
    : sectors_(sectors),
      consumer_(std::move(consumer)),
      chunk_bytes_(size_t{std::max<uint32_t>(chunk_sectors, 1)} * kSectorSize) {}

uint8_t* THeaderSink::AppendSectors(uint32_t count) {
  const uint64_t bytes = uint64_t{count} * kSectorSize;
  if (uint64_t{next_} + count > sectors_) overflowed_ = true;
  if (overflowed_ || stopped_) return Scratch(bytes);
  if (used_ + bytes > capacity_) {
    HandOn();
    if (stopped_) return Scratch(bytes);
    // A chunk grown for one long run goes back to the usual size.
    const size_t wanted = std::max<size_t>(chunk_bytes_, bytes);
    if (capacity_ != wanted) {
      chunk_ = std::make_unique_for_overwrite<uint8_t[]>(wanted);
      capacity_ = wanted;
    }
  }
  uint8_t* run = chunk_.get() + used_;
  std::memset(run, 0, bytes);
  used_ += bytes;
  next_ += count;
  return run;
}

void THeaderSink::AppendZeroSectors(int64_t count) {
  // Zero sectors need not be one run: they fill up the chunk, and a long
  // gap needs no chunk of its own.
  while (count > 0) {
    const size_t room = (capacity_ - used_) / kSectorSize;
    const int64_t n = std::min(count, static_cast<int64_t>(room > 0 ? room : chunk_bytes_ / kSectorSize));
    AppendSectors(static_cast<uint32_t>(n));
    count -= n;
  }
}

bool THeaderSink::Finish() {
  HandOn();
  chunk_.reset();
  capacity_ = 0;
  return !overflowed_ && !stopped_ && next_ == sectors_;
}

void THeaderSink::HandOn() {
  if (used_ != 0 && !stopped_ && !consumer_(chunk_.get(), used_)) stopped_ = true;
  used_ = 0;
}

uint8_t* THeaderSink::Scratch(uint64_t bytes) {
  scratch_.assign(bytes, 0);
  return scratch_.data();
}

}  // namespace orvex
