// SPDX-License-Identifier: Apache-2.0
// A source file whose data an image file takes by a kernel copy instead of
// through packets.  The producer opens it, queues ranges of it in image
// order where packets would go (TPacketRing::QueueCopy), and lets go; the
// write thread copies each range when its turn comes and closes the file
// with the last one.
#ifndef ORVEX_PIPELINE_COPY_SOURCE_H_
#define ORVEX_PIPELINE_COPY_SOURCE_H_

#include <cstdint>
#include <string>

#include "image/sectors.h"
#include "platform/file.h"

namespace orvex {

struct TCopySource {
  TFile File;          // opened by the producer; its state then is the reference
  std::u16string Name; // the source's path, for messages
  uint64_t Size = 0;   // the bytes the image holds of it: the size recorded when it was added

  // The image bytes the source fills: its data, then zeros to the end of
  // its last sector.
  uint64_t ImageBytes() const { return Sectors(Size) * kSectorSize; }

  // Whether the file's size or modification time differs from when it was
  // opened (it changed while it was copied).
  bool Changed() const {
    const std::optional<TFileState> now = File.State();
    const std::optional<TFileState>& then = File.OpenedState();
    return !now || !then || now->size != then->size ||
           now->write_time.dwLowDateTime != then->write_time.dwLowDateTime ||
           now->write_time.dwHighDateTime != then->write_time.dwHighDateTime;
  }
};

}  // namespace orvex

#endif  // ORVEX_PIPELINE_COPY_SOURCE_H_
