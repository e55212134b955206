// SPDX-License-Identifier: Apache-2.0
#include "pipeline/cache_thread.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "image/udf_file_stream.h"
#include "pipeline/content_reader.h"
#include "pipeline/job_errors.h"
#include "pipeline/source_opener.h"

namespace orvex {
namespace {

constexpr uint32_t kMaxSlots = 10'000;
// Sources from this size are copied by the sink where it can: below it the
// partial packet a copy closes costs more than the copy saves.
constexpr uint64_t kCopiedSize = 4 * kPacketSize;
// The image bytes of one copied range: large for few wake-ups, small enough
// for an abort and the progress to be seen.
constexpr uint32_t kCopiedRange = 128 * kPacketSize;

}  // namespace

TCacheThread::TCacheThread(TCDFiles& CDFiles_)
    : CDFiles(CDFiles_), ring_(*CDFiles_.Packets), copies_(CDFiles_.Sink->CopiesRanges()) {
  const uint32_t packets = CDFiles.CacheSize / kPacketSize;
  CDFiles.MaxPackets = static_cast<int32_t>(std::clamp<uint32_t>(packets, 2, kMaxSlots));
  CDFiles.CanStart = false;
  CDFiles.Finished = false;
  CDFiles.CacheThreadTerminated = false;
  CDFiles.RemainingBlocks = CDFiles.TotalImageSize;
  CDFiles.NoOfFiles = CDFiles.FileCounter();
  CDFiles.VerifySize = 0;
  CDFiles.PacketCount = 0;
  CDFiles.BytesAvailable = 0;
  CDFiles.vPriority = TThreadPriority::tpLower;
}

void TCacheThread::Execute() {
  SetCurrentThreadPriority(CDFiles.vPriority);
  packet_ = ring_.Filling();
  phase_ = CDFiles.BurnISOImage ? TPhase::kFiles : TPhase::kStructures;
  bool ok = CDFiles.BurnISOImage ? StreamImage() : StreamLayout();
  if (ok) ok = StreamEnd();
  if (ok) {
    // Everything is queued: the consumer may start, and the run ends once it
    // has taken every packet.
    CDFiles.CanStart = true;
    CDFiles.Job.Notify();
    ring_.WaitForRoom(1, [this] { return Stopped(); });
  }
  CDFiles.Finished = true;
  ring_.Wake();
  // The last touch of the ring: once this is set the consumer may free it.
  CDFiles.CacheThreadTerminated = true;
  CDFiles.Job.Notify();
}

bool TCacheThread::StreamLayout() {
  bool ok = StreamHeader();

  phase_ = TPhase::kFiles;
  if (ok && !CDFiles.BootImage.empty()) {
    TContentReader boot;
    ok = (boot.Open(CDFiles.BootImage) || Fail(boot)) &&
         StreamContent(boot, static_cast<uint64_t>(CDFiles.BootImageSize), 0);
  }
  if (ok && CDFiles.UDFBridge) ok = StreamUdfStructures();
  TSourceOpener opener(CDFiles.Files, ok ? CDFiles.NoOfFiles : 0);
  for (int32_t i = 0; ok && i < CDFiles.NoOfFiles; ++i) {
    TFileEntry* entry = CDFiles.Files[static_cast<size_t>(i)];
    if (!HasOwnData(*entry)) continue;
    entry->FileId = i;
    ok = StreamFile(*entry, i, opener);
  }
  return ok;
}

bool TCacheThread::StreamImage() {
  // Read once: the file closes when its last byte is queued.
  const std::unique_ptr<TContentReader> image = std::move(CDFiles.ImageSource);
  return StreamContent(*image, CDFiles.ImageBytes, 0);
}

bool TCacheThread::Advance(uint32_t bytes, int32_t file_id) {
  used_ += bytes;
  streamed_ += bytes;
  if (streamed_ % kPacketSize != 0) return true;
  return QueueAndWait(used_, file_id);
}

bool TCacheThread::QueueAndWait(uint32_t size, int32_t file_id) {
  ring_.Queue(size, file_id);
  packet_ = ring_.Filling();
  used_ = 0;
  return WaitForToBoundary();
}

bool TCacheThread::WaitForToBoundary() {
  if (phase_ == TPhase::kFiles) AdjustPriority();
  // While reading files one packet fewer is queued.
  const int32_t limit = CDFiles.MaxPackets - (phase_ == TPhase::kFiles ? 1 : 0);
  if (CDFiles.PacketCount >= limit) {
    if (CDFiles.vPriority != TThreadPriority::tpIdle && phase_ == TPhase::kFiles) {
      CDFiles.vPriority = TThreadPriority::tpIdle;
      SetCurrentThreadPriority(CDFiles.vPriority);
    }
    CDFiles.CanStart = true;
    CDFiles.Job.Notify();
  }
  return ring_.WaitForRoom(limit, [this] { return Stopped(); }) && !Stopped();
}

void TCacheThread::AdjustPriority() {
  const int32_t fill = CDFiles.PacketCount, q = CDFiles.MaxPackets;
  const TThreadPriority wanted = fill < q / 4   ? TThreadPriority::tpHighest
                                 : fill < q / 2 ? TThreadPriority::tpNormal
                                                : TThreadPriority::tpLowest;
  if (wanted != CDFiles.vPriority) {
    CDFiles.vPriority = wanted;
    SetCurrentThreadPriority(wanted);
  }
}

bool TCacheThread::StreamHeader() {
  // Generated here piece by piece straight into the packets: a header of
  // many entries is tens of MiB, and it never exists whole.
  const bool complete = CDFiles.GenerateHeader(
      [this](const uint8_t* bytes, size_t size) { return StreamBytes(bytes, size); });
  if (Stopped()) return false;
  // Structures that do not match the sectors the layout gave them are no
  // image of it.
  return complete || Fail(TJobFailure{kErrorNotPrepared, {}, 0});
}

bool TCacheThread::StreamBytes(const uint8_t* bytes, size_t size) {
  for (size_t done = 0; done < size;) {
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(size - done, ToBoundary()));
    std::memcpy(packet_ + used_, bytes + done, n);
    done += n;
    if (!Advance(n, 0)) return false;
  }
  return !Stopped();
}

bool TCacheThread::StreamUdfStructures() {
  TUdfFileStream stream(CDFiles);
  uint32_t remaining = CDFiles.UDFBridgeInfo.NumberOfBlocksRequiredForFileDirStructures;
  while (remaining > 0) {
    const uint32_t sectors = std::min(remaining, ToBoundary() / kSectorSize);
    stream.Produce(packet_ + used_, sectors);
    remaining -= sectors;
    if (!Advance(sectors * kSectorSize, 0)) return false;
  }
  return !Stopped();
}

// The data of one file, then zeros to the end of its last sector.
bool TCacheThread::StreamFile(TFileEntry& entry, int32_t file_id, TSourceOpener& opener) {
  CDFiles.ReadingFile = file_id;
  TContentReader reader;
  const bool opened = entry.Path.empty() ? reader.Open(entry, this) : reader.Open(entry, this, opener.Take(file_id));
  if (!opened) return Fail(reader);
  if (copies_ && static_cast<uint64_t>(entry.FileSize) >= kCopiedSize) {
    if (auto source = reader.HandOver(static_cast<uint64_t>(entry.FileSize))) {
      return StreamCopy(std::move(source), file_id);
    }
  }
  if (!StreamContent(reader, static_cast<uint64_t>(entry.FileSize), file_id)) return false;
  if (reader.Changed()) CDFiles.ChangedFiles.Add(file_id);
  opener.Close(reader.Release());
  return true;
}

bool TCacheThread::StreamContent(TContentReader& reader, uint64_t size, int32_t file_id) {
  CDFiles.VerifySize += static_cast<uint32_t>(Sectors(size));
  while (reader.Position() < size) {
    const uint32_t want =
        static_cast<uint32_t>(std::min<uint64_t>(size - reader.Position(), ToBoundary()));
    if (!reader.Read(packet_ + used_, want)) return Fail(reader);
    if (reader.Position() == size) {
      // The filler after the file's end lies in the same sector, hence packet.
      const uint32_t filler = static_cast<uint32_t>(Sectors(size) * kSectorSize - size);
      std::memset(packet_ + used_ + want, 0, filler);
      if (!Advance(want + filler, file_id)) return false;
    } else if (!Advance(want, file_id)) {
      return false;
    }
  }
  return !Stopped();
}

bool TCacheThread::StreamCopy(std::shared_ptr<TCopySource> source, int32_t file_id) {
  CDFiles.VerifySize += static_cast<uint32_t>(Sectors(source->Size));
  // What is queued before the source is written before it: the sink takes
  // everything in image order.
  if (used_ != 0 && !QueueAndWait(used_, file_id)) return false;
  const uint64_t total = source->ImageBytes();
  for (uint64_t offset = 0; offset < total;) {
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(total - offset, kCopiedRange));
    ring_.QueueCopy(source, offset, n, file_id);
    offset += n;
    streamed_ += n;
    if (!WaitForToBoundary()) return false;
  }
  return !Stopped();
}

// Zeros to the image's next packet boundary; with the UDF bridge the
// closing anchor fills the image's last sector, in a packet of its own when
// the data ended on a packet boundary.
bool TCacheThread::StreamEnd() {
  const bool anchor = CDFiles.UDFBridge && !CDFiles.BurnISOImage;
  if (CDFiles.BurnISOImage) {
    // An image ends with its last sector: a drive writes no more.
    if (used_ != 0) ring_.Queue(used_, 0);
    used_ = 0;
  } else if (ToBoundary() != kPacketSize || anchor) {
    const uint32_t gap = ToBoundary();
    std::memset(packet_ + used_, 0, gap);
    if (anchor) PutClosingAnchor(CDFiles, packet_ + used_ + gap - kSectorSize);
    streamed_ += gap;
    ring_.Queue(used_ + gap, 0);
    used_ = 0;
  }
  // A stream of another length than the layout's is no image of it.
  if (streamed_ != uint64_t{CDFiles.TotalImageSize} * kSectorSize) {
    return Fail(TJobFailure{kErrorNotPrepared, {}, 0});
  }
  return !Stopped();
}

bool TCacheThread::Fail(const TContentReader& reader) { return Fail(reader.Failure()); }

bool TCacheThread::Fail(const TJobFailure& failure) {
  CDFiles.Job.Fail(failure);
  return false;
}

}  // namespace orvex
