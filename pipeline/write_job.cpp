// SPDX-License-Identifier: Apache-2.0
#include "pipeline/write_job.h"

#include <memory>

#include "image/component_status.h"
#include "pipeline/cache_thread.h"
#include "pipeline/image_file_sink.h"
#include "pipeline/write_thread.h"

namespace orvex {

bool BuildISOImageW(TCDFiles& CDFiles, const std::u16string& FileName, TObject* Sender,
                    TWriteDoneEvent OnDone) {
  if (CDFiles.Job.Running()) return false;
  CDFiles.BurnISOImage = false;
  if (!CDFiles.Prepared) {
    CDFiles.ErrorNumber = kErrorNotPrepared;
    return false;
  }
  TJobFailure failure{kErrorCreating, FileName, 0};
  std::unique_ptr<TImageFileSink> sink;
  if (!FileName.empty() && FileName.size() <= kMaxImageFileNameUnits) {
    sink = TImageFileSink::Open(FileName, failure);
  }
  if (!sink) {
    CDFiles.PendingError().Set(failure);
    return false;
  }
  CDFiles.ISOFileName = FileName;
  CDFiles.SaveToISOImage = true;
  return StartWriteJob(CDFiles, std::move(sink), Sender, std::move(OnDone));
}

bool StartWriteJob(TCDFiles& CDFiles, std::unique_ptr<TPacketSink> sink, TObject* Sender,
                   TWriteDoneEvent OnDone) {
  if (CDFiles.Job.Running()) return false;
  // The UDF structures count from the block the ISO 9660 ones do.
  CDFiles.UDFBridgeInfo.SessionStarting_LSA = CDFiles.FirstWritableSector;
  // The header is generated as the cache thread streams it.  Where what is
  // written cannot be taken back, structures that do not match the layout
  // are found first, by generating the header once without keeping it, so
  // that they never spoil a disc.
  const auto discard = [](const uint8_t*, size_t) { return true; };
  if (!CDFiles.BurnISOImage &&
      (!CDFiles.Prepared || (!sink->DiscardsFailedRuns() && !CDFiles.GenerateHeader(discard)))) {
    sink->Finish(false);
    CDFiles.ErrorNumber = kErrorNotPrepared;
    return false;
  }
  if (!CDFiles.Job.Begin()) return false;
  CDFiles.cbWriteDone = OnDone;
  CDFiles.ChangedFiles.Clear();
  CDFiles.Sink = std::move(sink);
  CDFiles.Packets = std::make_unique<TPacketRing>(CDFiles.PacketCount, CDFiles.BytesAvailable);
  CDFiles.Job.SetWaker([ring = CDFiles.Packets.get()] { ring->Wake(); });

  auto cache = std::make_shared<TCacheThread>(CDFiles);
  CDFiles.Job.Start([cache] { cache->Execute(); });
  CDFiles.Job.WaitUntil([&] { return CDFiles.CanStart || CDFiles.Aborted; });
  if (CDFiles.Aborted) {
    // Stopped while the queue filled: the write thread never starts, so the
    // job ends here once the producer has.  An abort's status stays.
    CDFiles.Job.WaitUntil([&] { return CDFiles.CacheThreadTerminated.load(); });
    EndWriteJob(CDFiles, false, false, [&](bool) {
      ReportCompletion(CDFiles.hWNDFE, OnDone, kMessageWriteDone, 0, 1, [&] { OnDone(Sender, 0, true); });
    });
    return false;
  }
  auto writer = std::make_shared<TWriteThread>(CDFiles);
  CDFiles.Job.Start([writer] { writer->Execute(); });
  return true;
}

bool EndWriteJob(TCDFiles& CDFiles, bool complete, bool idle,
                 const std::function<void(bool failed)>& report) {
  CDFiles.Job.SetWaker(nullptr);
  CDFiles.Packets.reset();
  if (!CDFiles.Sink->Finish(complete) && complete) {
    CDFiles.Job.Fail(CDFiles.Sink->Failure());
    complete = false;
  }
  CDFiles.Sink.reset();
  if (idle) CDFiles.ComponentStatus = kStatusIdle;
  CDFiles.Job.End([&] { report(!complete); });
  return complete;
}

}  // namespace orvex
