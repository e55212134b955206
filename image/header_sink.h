// SPDX-License-Identifier: Apache-2.0
// Where the header writers put their bytes: whole sectors appended one after
// another to the header buffer, each handed out zero-filled for the writer to
// fill in place.  Sectors asked for beyond the buffer are never in it: they
// come from a scratch area, and the sink remembers that it overflowed.
#ifndef ORVEX_IMAGE_HEADER_SINK_H_
#define ORVEX_IMAGE_HEADER_SINK_H_

#include <cstdint>
#include <cstring>
#include <vector>

#include "image/image_layout.h"

namespace orvex {

class THeaderSink {
 public:
  // Writes into `buffer` from its start; `size` counts the bytes appended.
  // The buffer is already sized for the whole header and zero-filled.
  THeaderSink(std::vector<uint8_t>& buffer, int32_t& size) : buffer_(buffer), size_(size) {
    size_ = 0;
  }

  // The next `count` sectors of the header, contiguous and zero-filled.
  uint8_t* AppendSectors(uint32_t count) {
    const uint64_t bytes = uint64_t{count} * kSectorSize;
    if (overflowed_ || static_cast<uint64_t>(size_) + bytes > buffer_.size()) {
      overflowed_ = true;
      scratch_.assign(bytes, 0);
      return scratch_.data();
    }
    uint8_t* sectors = buffer_.data() + size_;
    size_ += static_cast<int32_t>(bytes);
    return sectors;
  }
  uint8_t* AppendSector() { return AppendSectors(1); }

  // `count` zero sectors (a non-positive count appends nothing).
  void AppendZeroSectors(int64_t count) {
    if (count > 0) AppendSectors(static_cast<uint32_t>(count));
  }

  // The sector the next AppendSector returns, counted from the image start.
  uint32_t NextSector() const { return static_cast<uint32_t>(size_) / kSectorSize; }

  // Whether every sector asked for lay in the buffer and the buffer is full.
  bool Complete() const { return !overflowed_ && static_cast<size_t>(size_) == buffer_.size(); }

 private:
  std::vector<uint8_t>& buffer_;
  int32_t& size_;
  bool overflowed_ = false;
  std::vector<uint8_t> scratch_;
};

}  // namespace orvex

#endif  // ORVEX_IMAGE_HEADER_SINK_H_
