#include "pipeline/write_job.h"

#include <memory>
#include <thread>

#include "image/component_status.h"
#include "pipeline/cache_thread.h"
#include "pipeline/job_errors.h"
#include "pipeline/write_thread.h"
#include "platform/text_conversion.h"

namespace orvex {

bool BuildISOImageW(TCDFiles& CDFiles, const std::u16string& FileName, TObject* Sender,
                    TWriteDoneEvent OnDone) {
  CDFiles.BurnISOImage = false;
  CDFiles.FileName.Set(FileName);  // error 3 names the image file
  if (FileName.empty() || FileName.size() > kMaxImageFileNameUnits) {
    CDFiles.ErrorNumber = kErrorCreating;
    return false;
  }
  CDFiles.ISOFileName = FileName;
  CDFiles.ISOImage = TFile::Create(Utf16ToUtf8(FileName));
  if (!CDFiles.ISOImage.IsOpen()) {
    CDFiles.ErrorNumber = kErrorCreating;
    return false;
  }
  CDFiles.SaveToISOImage = true;
  return StartWriteJob(CDFiles, Sender, std::move(OnDone));
}

bool StartWriteJob(TCDFiles& CDFiles, TObject* Sender, TWriteDoneEvent OnDone) {
  if (CDFiles.UDFBridge && CDFiles.SaveToISOImage) CDFiles.UDFBridgeInfo.SessionStarting_LSA = 0;
  if (!CDFiles.BurnISOImage && !CDFiles.GenerateHeader()) {
    CDFiles.ISOImage.Close();
    CDFiles.ErrorNumber = kErrorNotPrepared;
    return false;
  }
  CDFiles.cbWriteDone = OnDone;
  CDFiles.Aborted = false;
  // A job starts without a pending error, so that its outcome is its own.
  CDFiles.ErrorNumber = 0;
  CDFiles.JobRunning = true;
  CDFiles.Packets = std::make_unique<TPacketRing>(CDFiles.PacketCount, CDFiles.BytesAvailable);

  auto cache = std::make_unique<TCacheThread>(CDFiles);
  CDFiles.Workers.Add(std::thread([cache = std::move(cache)] { cache->Execute(); }));

  CDFiles.JobSignal.WaitUntil([&] { return CDFiles.CanStart || CDFiles.Aborted; });
  if (CDFiles.Aborted) {
    // Stopped while the queue filled: the write thread never starts, so
    // the failure is reported here.
    CDFiles.ISOImage.Close();
    CDFiles.ComponentStatus = kStatusIdle;
    CDFiles.JobRunning = false;
    ReportCompletion(CDFiles.hWNDFE, OnDone, kMessageWriteDone, 0, 1, [&] { OnDone(Sender, 0, true); });
    return false;
  }
  auto writer = std::make_unique<TWriteThread>(CDFiles);
  CDFiles.Workers.Add(std::thread([writer = std::move(writer)] { writer->Execute(); }));
  return true;
}

}  // namespace orvex
