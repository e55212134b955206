// SPDX-License-Identifier: Apache-2.0
#include "pipeline/write_thread.h"

#include "image/component_status.h"
#include "pipeline/write_job.h"

namespace orvex {

void TWriteThread::Execute() {
  SetCurrentThreadPriority(TThreadPriority::tpLower);
  CDFiles.ComponentStatus = kStatusWriting;
  CDFiles.BlocksWritten = 0;
  TPacketRing& ring = *CDFiles.Packets;
  TPacketSink& sink = *CDFiles.Sink;
  const bool begun = sink.Begin();
  if (!begun) WriteFailed(sink.Failure());
  // The end of the data: every block taken, or the producer has ended
  // (done, failed or aborted).
  const auto end = [this] { return CDFiles.RemainingBlocks <= 0 || CDFiles.Finished; };
  TPacket packet;
  while (begun && !end() && ring.Take(packet, end)) {
    CDFiles.WritingFile = packet.FileId;
    CDFiles.RemainingBlocks -= static_cast<int64_t>(Sectors(packet.Size));
    const bool written = packet.Source ? sink.CopyRange(*packet.Source, packet.Offset, packet.Size)
                                       : sink.Write(packet.Data, packet.Size);
    ring.Release(packet);
    // A copied source is looked at again after its last range.
    if (written && packet.Source && packet.Offset + packet.Size == packet.Source->ImageBytes() &&
        packet.Source->Changed()) {
      CDFiles.ChangedFiles.Add(packet.FileId);
    }
    packet.Source.reset();  // closes a source whose last range is written
    if (!written) {
      WriteFailed(sink.Failure());
      break;
    }
    CDFiles.BlocksWritten += packet.Size / kSectorSize;
  }
  // From writing to closing; a failed write (9) and an abort (7, which
  // AbortOperation may have set while the last packet went out) stay told.
  uint16_t writing = kStatusWriting;
  CDFiles.ComponentStatus.compare_exchange_strong(writing, kStatusClosingSession);
  CDFiles.Job.WaitUntil([this] { return CDFiles.CacheThreadTerminated.load(); });

  // Success only when every block of the image was written and nothing
  // failed, whether or not the pending error was read meanwhile.
  const bool complete = !CDFiles.Job.Failed() && CDFiles.ErrorNumber == 0 &&
                        CDFiles.BlocksWritten == CDFiles.TotalImageSize;
  EndWriteJob(CDFiles, complete, true, [this](bool failed) {
    ErrorInBurn = failed;
    const TWriteDoneEvent done = CDFiles.cbWriteDone;
    ReportCompletion(CDFiles.hWNDFE, done, kMessageWriteDone, 0, failed ? 1 : 0,
                     [&] { done(this, 0, failed); });
  });
}

void TWriteThread::WriteFailed(const TJobFailure& failure) {
  CDFiles.Job.Fail(failure);
  CDFiles.ComponentStatus = kStatusBurnError;
  ErrorInBurn = true;
}

}  // namespace orvex
