// SPDX-License-Identifier: Apache-2.0
// Moving blocks: READ(10), WRITE(10), SYNCHRONIZE CACHE and READ BUFFER
// CAPACITY.  Written data reaches the backing file at once; the model of
// the write buffer (filled by WRITE at the host's pace, drained at the
// current write speed) only decides how long writing takes.
#include <algorithm>
#include <cstdio>

#include "vburner/drive.h"

namespace orvex::vburner {

void Drive::DrainBuffer() {
  const uint64_t now = clock_.Now();
  const uint64_t speed = CurrentWriteSpeed();  // kB/s = bytes per millisecond
  if (speed == 0) {
    buffer_level_ = 0;
  } else if (now > buffer_time_) {
    const uint64_t drained = (now - buffer_time_) * speed / 1000;
    buffer_level_ -= std::min(buffer_level_, drained);
  }
  buffer_time_ = now;
}

void Drive::FillBuffer(uint64_t bytes) {
  DrainBuffer();
  const uint64_t size = BufferBytes();
  const uint64_t speed = CurrentWriteSpeed();
  if (speed != 0 && buffer_level_ + bytes > size) {
    Spend(((buffer_level_ + bytes - size) * 1000 + speed - 1) / speed);
    DrainBuffer();
  }
  buffer_level_ = std::min(size, buffer_level_ + bytes);
}

uint64_t Drive::BufferFlushTime() {
  DrainBuffer();
  const uint64_t speed = CurrentWriteSpeed();
  return speed == 0 ? 0 : (buffer_level_ * 1000 + speed - 1) / speed;
}

void Drive::Read10(Command& c) {
  const MediumState& s = RequireMedium();
  const uint32_t lba = Get32(&c.cdb[2]);
  const uint32_t count = Get16(&c.cdb[7]);
  if (count == 0) return;
  ModelFor(s).CheckRead(s, lba, count);
  uint8_t* out = c.DataInBuffer(count * kBlockSize);
  std::string error;
  if (!medium_->store().Read(lba, count, out, error)) {
    std::fprintf(stderr, "orvex-vburner: %s\n", error.c_str());
    FailAt(kUnrecoveredReadError, lba);
  }
}

void Drive::Write10(Command& c) {
  MediumState& s = RequireWritable();
  const uint32_t lba = Get32(&c.cdb[2]);
  const uint32_t count = Get16(&c.cdb[7]);
  if (count == 0) return;
  const MediumModel& model = ModelFor(s);
  const WriteKind kind = model.CheckWrite(s, lba, count, CurrentWriteMode());
  // A buffer longer than the blocks (a partial last block) gives only the whole blocks.
  const uint8_t* data = c.TakeDataOut(count * kBlockSize);
  FillBuffer(uint64_t{count} * kBlockSize);

  const auto [good, fault, pulled] = TakeWriteFault(lba, count);
  if (good != 0) {
    std::string error;
    if (kind == WriteKind::kRecord && !medium_->store().Write(lba, good, data, error)) {
      std::fprintf(stderr, "orvex-vburner: %s\n", error.c_str());
      FailAt(kWriteError, lba);
    }
    model.Commit(s, lba, good, kind);
    if (kind == WriteKind::kRecord) NoteRecorded(lba, good);
  }
  if (pulled) {
    // The track stays open and unfinished on the disc, as after a real mishap.
    UnloadMedium();
    medium_.reset();
    tray_open_ = true;
  }
  if (fault) FailAt(*fault, lba + good);
}

void Drive::SynchronizeCache(Command& c) {
  RequireMedium();
  const bool immediate = (c.cdb[1] & 0x02) != 0;
  Operation flush;
  flush.duration_us = BufferFlushTime();
  flush.busy = kLongWriteInProgress;
  RunOperation(flush, immediate);
  if (immediate) SaveOrFail();
}

void Drive::ReadBufferCapacity(Command& c) {
  const bool in_blocks = (c.cdb[1] & 0x01) != 0;
  DrainBuffer();
  const uint64_t size = BufferBytes();
  const uint64_t blank = size - buffer_level_;
  Bytes out(12, 0);
  Put16(&out[0], 10);
  if (in_blocks) {
    out[3] = 0x01;
    Put32(&out[8], static_cast<uint32_t>(blank / kBlockSize));
  } else {
    Put32(&out[4], static_cast<uint32_t>(size));
    Put32(&out[8], static_cast<uint32_t>(blank));
  }
  c.Respond(std::move(out), Get16(&c.cdb[7]));
}

}  // namespace orvex::vburner
