// SPDX-License-Identifier: Apache-2.0
#include "services/erase_job.h"

#include <array>
#include <memory>
#include <utility>

#include "drive/execute_command.h"
#include "drive/exclusive_use.h"
#include "drive/medium_inspection.h"
#include "drive/medium_lock.h"
#include "drive/mmc_codes.h"
#include "drive/mmc_commands.h"
#include "drive/ready_polls.h"
#include "drive/transfer_rate.h"
#include "drive/write_parameters.h"
#include "image/component_status.h"
#include "platform/clock.h"
#include "platform/text_conversion.h"

namespace orvex {
namespace {

// FORMAT UNIT parameter lists: the header (FOV and IMMED, so that the drive
// formats in the background; descriptor length 8), then one format
// descriptor (blocks; format type << 2 | sub-type; type-dependent parameter).
using TFormatList = std::array<uint8_t, 12>;
// 2236704 blocks, type 00h (full), 2048-byte blocks.
constexpr TFormatList kDvdRamFullFormat = {0x00, 0x82, 0x00, 0x08, 0x00, 0x22, 0x21, 0x20, 0x00, 0x00, 0x08, 0x00};
// 2295104 blocks, type 26h (basic format), parameter 0.
constexpr TFormatList kDvdPlusRwFormat = {0x00, 0x82, 0x00, 0x08, 0x00, 0x23, 0x05, 0x40, 0x98, 0x00, 0x00, 0x00};
// 640 blocks, type 30h sub-type 0 (quick reformat), parameter 001000h.
constexpr TFormatList kBdReQuickFormat = {0x00, 0x82, 0x00, 0x08, 0x00, 0x00, 0x02, 0x80, 0xC0, 0x00, 0x10, 0x00};

constexpr uint16_t kRunBlocks = 32;
constexpr uint32_t kRunBytes = kRunBlocks * 2048;
constexpr uint32_t kHeadRuns = 16;        // BD-RE and DVD+RW quick: blocks 0 to 511
constexpr uint32_t kDvdRamHeadRuns = 128;  // blocks 0 to 4095
constexpr uint32_t kDvdPlusRwRuns = 71000;  // blocks 0 to 2271999

// Zeros of their own: the drive routines use tmpBuffer for their answers
// (a write reads the capabilities page into it while the transfer figures
// are still empty), so zeros put there would not stay zeros.
constexpr std::array<uint8_t, kRunBytes> kZeros{};

constexpr uint32_t kPollMilliseconds = 5000;
constexpr uint16_t kPollDiscInformationBytes = 42;

class TEraseThread : public TObject {
 public:
  TEraseThread(TCDFiles& CDFiles_, TSCSIDevice& Device_) : CDFiles(CDFiles_), Device(Device_) {}

  void Execute();

 private:
  // Each says whether the medium was erased.  Erase is not started once
  // the job is stopped: nothing will be erased then.
  bool Erase(TMedium medium);
  bool Blank(bool quick);
  bool FormatAndZeroHead(const TFormatList& list);
  bool FormatAndZeroDvdPlusRw();
  bool ZeroDvdRamHead();
  bool FormatDvdRam();

  bool Format(const TFormatList& list) { return FormatUnit(Device, mmc::kFormatWithList, list.data(), list.size()); }
  // Asks the drive with `ask` every five seconds while it answers "not
  // ready"; true when its last answer was a success.  False, asking no
  // more, once the job is asked to stop.
  template <class Ask>
  bool WaitWhileNotReady(Ask ask);
  // The wait that asks for the disc information, read into `into`.
  bool WaitForDiscInformation(uint8_t* into) {
    return WaitWhileNotReady([this, into] { return ReadDiscInformation(Device, into, kPollDiscInformationBytes); });
  }
  // Writes `runs` zero runs from block 0 on with the drive handle kept
  // open between them; stops at the first that fails or at a stop, the
  // handle then closing after every command again.  True when all were
  // written.
  bool WriteZeroRuns(uint32_t runs);
  bool Stopped() const { return CDFiles.Aborted; }
  // Keeps how the command just sent failed, as the erase's failure;
  // returns false.
  bool Refused() {
    refusal_ = Device.LastFailure;
    return false;
  }
  // The job's error of an erase that failed without being stopped: the
  // refused command's own sense and record, never a code an earlier
  // command left.
  void ReportRefusal();

  TCDFiles& CDFiles;
  TSCSIDevice& Device;
  TCommandFailure refusal_;
};

void TEraseThread::Execute() {
  bool erased = false;
  const TJobControl::TEndGuard end(CDFiles.Job, [&] {
    const TEraseDoneEvent done = Device.cbEraseDone;
    // An erase that was stopped failed, whatever it had done by then.
    const bool failed = !erased || CDFiles.Job.Failed();
    ReportCompletion(Device.hWNDFE, done, kMessageEraseDone, 0, failed ? 1 : 0, [&] { done(this, 0, failed); });
  });
  // The drive is the erase's alone until it ends.
  const TExclusiveUse hold(Device);
  if (hold.Busy() || hold.NoWriteAccess()) {
    CDFiles.Job.Fail({hold.Busy() ? kErrorDriveBusy : kErrorNoWriteAccess, Utf8ToUtf16(hold.Path()), hold.Error()});
    return;
  }
  const TMedium medium = DiscIs(Device);
  SetCDSpeed(Device, Device.ReadSpeed, Device.WriteSpeed);
  SetPlainWriteParameters(Device, medium);
  if (!Stopped()) {
    const TMediumLock lock(Device);
    erased = Erase(medium);
  }
  if (!erased && !Stopped()) ReportRefusal();
  CDFiles.ComponentStatus = kStatusIdle;
}

void TEraseThread::ReportRefusal() {
  // What the drive refused on the side (a speed, the write parameters) is
  // not the erase's outcome.
  Device.DeviceError.exchange(0);
  const uint32_t sense = uint32_t{refusal_.asc} << 8 | refusal_.ascq;
  CDFiles.Job.Fail({refusal_.asc != 0 ? sense : kErrorDriveFailed, {}, refusal_.system_error, refusal_});
}

bool TEraseThread::Erase(TMedium medium) {
  const bool quick = Device.QuickErase;
  switch (medium) {
    case TMedium::mtBDRE:
      return quick ? FormatAndZeroHead(kBdReQuickFormat) : true;  // a full erase has nothing to do
    case TMedium::mtDVDPLUSRW:
      return quick ? FormatAndZeroHead(kDvdPlusRwFormat) : FormatAndZeroDvdPlusRw();
    case TMedium::mtDVDRAM:
      return quick ? ZeroDvdRamHead() : FormatDvdRam();
    default:
      // A medium that cannot be blanked says so by refusing BLANK.
      return Blank(quick);
  }
}

bool TEraseThread::Blank(bool quick) {
  if (!BlankDisc(Device, quick)) return Refused();
  return WaitForDiscInformation(Device.tmpBuffer.data());
}

// The zero runs are written whatever the format did: they are what empties
// the disc for a reader.
bool TEraseThread::FormatAndZeroHead(const TFormatList& list) {
  if (Format(list)) WaitForDiscInformation(Device.tmpBuffer.data());
  const bool written = WriteZeroRuns(kHeadRuns);
  SynchronizeCache(Device, false);
  CloseTrackSession(Device, mmc::TCloseFunction::kCompatibleStop, 0, false);
  Device.CloseFH = true;
  return written;
}

// The basic format goes on in the background while the zero runs cover
// the disc.
bool TEraseThread::FormatAndZeroDvdPlusRw() {
  if (!Format(kDvdPlusRwFormat)) return Refused();
  if (!WaitForDiscInformation(reinterpret_cast<uint8_t*>(&Device.BGFDI))) return false;
  CDFiles.ComponentStatus = kStatusBackgroundFormat;
  const bool written = WriteZeroRuns(kDvdPlusRwRuns);
  SynchronizeCache(Device, false);
  Device.CloseFH = true;
  return written;
}

bool TEraseThread::ZeroDvdRamHead() {
  const bool written = WriteZeroRuns(kDvdRamHeadRuns);
  Device.CloseFH = true;
  SynchronizeCache(Device, false);
  return written;
}

bool TEraseThread::FormatDvdRam() {
  if (!Format(kDvdRamFullFormat)) return Refused();
  return WaitWhileNotReady([this] { return TestUnitReady(Device); });
}

template <class Ask>
bool TEraseThread::WaitWhileNotReady(Ask ask) {
  while (SleepUnlessStopped(kPollMilliseconds, &CDFiles.Aborted)) {
    // A unit attention is asked past; any other answer ends the wait: the
    // medium went away, or the drive stopped answering.
    if (PastAttentions(Device, ask)) return true;
    if (!BecomingReady(Device)) return Refused();
  }
  return false;
}

bool TEraseThread::WriteZeroRuns(uint32_t runs) {
  Device.CloseFH = false;
  for (uint32_t run = 0; run < runs; ++run) {
    if (Stopped() || !WriteSectors(Device, run * kRunBlocks, kRunBlocks, kRunBytes, kZeros.data())) {
      if (!Stopped()) Refused();
      Device.CloseFH = true;
      return false;
    }
  }
  return true;
}

}  // namespace

bool StartEraseJob(TCDFiles& CDFiles, TSCSIDevice& Device, bool quick, TEraseDoneEvent OnDone) {
  // Begun before the thread starts, so that an abort right after the start
  // is not lost.
  if (!CDFiles.Job.Begin()) return false;
  ResumeCommands(Device);
  CDFiles.ComponentStatus = kStatusErasing;
  Device.cbEraseDone = std::move(OnDone);
  Device.QuickErase = quick;
  auto thread = std::make_shared<TEraseThread>(CDFiles, Device);
  CDFiles.Job.Start([thread] { thread->Execute(); });
  return true;
}

}  // namespace orvex
