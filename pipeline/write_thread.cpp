#include "pipeline/write_thread.h"

#include "image/component_status.h"
#include "pipeline/job_errors.h"

namespace orvex {

void TWriteThread::Execute() {
  SetCurrentThreadPriority(TThreadPriority::tpLower);
  CDFiles.ComponentStatus = kStatusWriting;
  CDFiles.BlocksWritten = 0;
  TPacketRing& ring = *CDFiles.Packets;
  // The end of the data: every block taken, or the producer has ended
  // (done, failed or aborted).
  const auto end = [this] { return CDFiles.RemainingBlocks <= 0 || CDFiles.Finished; };
  TPacket packet;
  while (!end() && ring.Take(packet, end)) {
    CDFiles.WritingFile = packet.FileId;
    CDFiles.RemainingBlocks -= static_cast<int64_t>(Sectors(packet.Size));
    const bool written = CDFiles.ISOImage.Write(packet.Data, packet.Size);
    ring.Release(packet);
    if (!written) {
      WriteFailed();
      break;
    }
    CDFiles.BlocksWritten += packet.Size / kSectorSize;
  }
  if (!ErrorInBurn) CDFiles.ComponentStatus = kStatusClosingSession;
  if (!CDFiles.ISOImage.Close() && !ErrorInBurn) WriteFailed();

  CDFiles.JobSignal.WaitUntil([this] { return CDFiles.CacheThreadTerminated.load(); });
  // The producer is gone: nothing else uses the ring any more.
  CDFiles.Packets.reset();

  const TWriteDoneEvent done = CDFiles.cbWriteDone;
  ErrorInBurn = ErrorInBurn || CDFiles.ErrorNumber != 0;
  CDFiles.ComponentStatus = kStatusIdle;
  CDFiles.JobRunning = false;
  ReportCompletion(CDFiles.hWNDFE, done, kMessageWriteDone, 0, ErrorInBurn ? 1 : 0,
                   [&] { done(this, 0, ErrorInBurn); });
}

bool TWriteThread::WriteFailed() {
  CDFiles.FileName.Set(CDFiles.ISOFileName);
  CDFiles.ErrorNumber = kErrorWriting;
  CDFiles.Aborted = true;
  CDFiles.ComponentStatus = kStatusBurnError;
  ErrorInBurn = true;
  return false;
}

}  // namespace orvex
