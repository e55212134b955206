// SPDX-License-Identifier: Apache-2.0
#include "pipeline/drive_sink.h"

#include <algorithm>
#include <initializer_list>

#include "drive/capabilities.h"
#include "drive/transport.h"
#include "drive/execute_command.h"
#include "drive/medium_inspection.h"
#include "drive/mmc_codes.h"
#include "drive/mmc_commands.h"
#include "drive/ready_polls.h"
#include "drive/transfer_rate.h"
#include "drive/write_parameters.h"
#include "platform/clock.h"

namespace orvex {
namespace {

using enum TMedium;
using enum mmc::TCloseFunction;

constexpr uint32_t kWriteAttempts = 5000;       // refusals of a write with no reason
constexpr uint32_t kResetAttempts = 100;        // refusals of a head copy with no reason or a reset
constexpr uint32_t kWritePauseMs = 100;         // between attempts of a write
// While the drive is busy or not ready (its buffer being written out, a
// long write in progress) a write is sent again at once, then after pauses
// that grow to kWritePauseMs: a drive that is ready again a moment later
// must not wait out a whole pause while its buffer runs dry.  It is waited
// for as long as kWriteAttempts pauses would last.
constexpr uint32_t kBusyPausesMs[] = {0, 5, 10, 20, 50};
constexpr uint64_t kBusyWaitMs = uint64_t{kWriteAttempts} * kWritePauseMs;
constexpr uint32_t kHeadCopyPauseMs = 200;      // between attempts of the head copy
constexpr uint32_t kResetPauseMs = 1000;        // more after a reset (sense 29h)
constexpr uint8_t kBufferCapacityUnknown = 0x14;

// Formats a DVD+RW in the background: format type 26h over 2,295,104 blocks, immediate.
constexpr uint8_t kDvdPlusRwFormat[12] = {0x00, 0x82, 0x00, 0x08, 0x00, 0x23, 0x05, 0x40, 0x98, 0x00, 0x00, 0x00};

bool OneOf(TMedium m, std::initializer_list<TMedium> media) {
  return std::find(media.begin(), media.end(), m) != media.end();
}

// The pause after the `refusals`-th refusal of a write by a busy drive.
uint32_t BusyPause(uint32_t refusals) {
  return refusals <= std::size(kBusyPausesMs) ? kBusyPausesMs[refusals - 1] : kWritePauseMs;
}

// The time the pauses after the first `refusals` refusals add up to.
uint64_t BusyWaited(uint32_t refusals) {
  uint64_t waited = 0;
  const uint32_t growing = std::min<uint32_t>(refusals, std::size(kBusyPausesMs));
  for (uint32_t i = 0; i < growing; ++i) waited += kBusyPausesMs[i];
  return waited + uint64_t{refusals - growing} * kWritePauseMs;
}

// The media whose writes the drive is told a streaming performance for.
bool Streams(TMedium m) {
  return OneOf(m, {mtDVDR, mtDVDRWRO, mtDVDRWSR, mtDVDPLUSRW, mtDVDPLUSR, mtDVDPLUSRDL, mtBDRSR, mtBDRRR, mtBDRE,
                   mtHDDVDR, mtHDDVDRAM});
}

// The speed in KB/s a burn asks SET STREAMING for: the one the user set,
// and for 0 (the fastest) the drive's highest from page 2Ah, or its current
// one when the page names no highest.
uint32_t StreamingSpeed(uint16_t asked, uint16_t highest, uint16_t current) {
  if (asked != 0) return asked;
  return highest != 0 ? highest : current;
}

// The session stays open for another one: DVD+R, DVD-R and sequential
// DVD-RW are told so before writing (a DVD-R/-RW session closed without it
// finalizes the disc); CD is told at its closing.
bool KeepsOpenWhileWriting(TMedium m) { return OneOf(m, {mtDVDPLUSR, mtDVDR, mtDVDRWSR}); }

// The media whose recording follows page 05h (write type, multi-session,
// test write).  The others do not use the page, and drives may refuse it
// for them.
bool ParametersGovern(TMedium m) { return OneOf(m, {mtCDR, mtCDRW, mtDDCDR, mtDDCDRW, mtDVDR, mtDVDRWSR}); }

}  // namespace

bool TDriveSink::Begin() {
  TSCSIDevice& d = Device_;
  started_ = Clock().UtcNow();
  d.DeviceBufferPosition = 0;
  d.DeviceBufferSize = 0;
  medium_ = d.Medium;

  SynchronizeCache(d, false);
  RezeroUnit(d);
  SetWriteParameters(d, medium_, TNextSession::kNone);
  ReadDiscInformation(d, reinterpret_cast<uint8_t*>(&d.DiscInformation), sizeof d.DiscInformation);
  if (ReadBufferCapacity(d) && d.LastSenseInfo.AddSenseCode == kBufferCapacityUnknown) no_poll_ = true;
  next_ = CDFiles_.BurnISOImage ? 0 : CDFiles_.FirstWritableSector;
  const bool open = KeepsOpenWhileWriting(medium_) && !d.FinalizeDisc;
  if (!SetWriteParameters(d, medium_, open ? TNextSession::kAllowed : TNextSession::kNone) &&
      (ParametersGovern(medium_) || d.TestWrite)) {
    return WriteFailed();
  }
  begun_ = true;
  {
    const uint32_t unit_bytes = WriteUnitBlocks(medium_) * kSectorSize;
    const uint32_t limit = d.Transport ? d.Transport->TransferLimit(d) : 0;
    write_limit_ = std::max(unit_bytes, (limit == 0 ? kSafeTransferBytes : limit) / unit_bytes * unit_bytes);
  }
  // The medium stays in the drive until Close allows its removal again.
  LockMedium(d);
  SetCDSpeed(d, d.ReadSpeed, d.WriteSpeed);
  if (Streams(medium_)) {
    RefreshCapabilities(d);
    const TModePage2A& page = d.ModePage2A;
    const uint32_t read_speed = StreamingSpeed(d.ReadSpeed, page.MaxReadSpeed, page.CurReadSpeed);
    const uint32_t write_speed = StreamingSpeed(d.WriteSpeed, page.MaxWriteSpeed, page.CurWriteSpeed);
    if (!ReadTrackInformation(d, d.DiscInformation.LastTrackOfLastSession)) {
      d.TrackInformation.TrackSize = CDFiles_.TotalImageSize + next_;
    }
    SetStreaming(d, d.TrackInformation.TrackSize, read_speed, 1000, write_speed, 1000);
  }
  sessions_ = SessionsOnDisc(d);
  // A reservation is recorded on the disc: a test write, which must leave
  // the disc as it was, makes none.
  if (medium_ == mtDVDR && !d.TestWrite) {
    SendDVDTimestamp(d, started_);
    ReserveTrack(d, CDFiles_.TotalImageSize);
  }
  d.CloseFH = false;  // the drive stays open for the whole burn
  head_copy_ = !CDFiles_.BurnISOImage && WrittenInPlace(medium_) && next_ != 0;
  return true;
}

bool TDriveSink::Write(const uint8_t* data, uint32_t size) {
  if (head_copy_ && head_.empty()) head_.assign(data, data + size);
  if (!WritePacket(next_, data, size, false)) return false;
  if (--poll_countdown_ < 0 && !no_poll_) {
    ReadBufferCapacity(Device_);
    poll_countdown_ = 5;
  }
  next_ += size / kSectorSize;
  return true;
}

bool TDriveSink::Finish(bool complete) {
  if (!begun_) return true;  // the run stopped before the drive was touched
  bool kept = true;
  if (complete && !head_.empty()) {
    SynchronizeCache(Device_, false);
    kept = WritePacket(0, head_.data(), static_cast<uint32_t>(head_.size()), true);
    SynchronizeCache(Device_, false);
  }
  TCommandFailure closing_command;
  const uint32_t closing = Close(closing_command);
  if (!complete || !kept) return kept;
  // The error is the closing's, told once as the job's.
  Device_.DeviceError.exchange(0);
  if (closing != kErrorNone) return Fail(closing, {}, closing_command.system_error, closing_command);
  // An abort while closing fails the burn too, though the disc is whole.
  if (CDFiles_.Aborted) return Fail(kErrorAborted, {}, 0);
  return true;
}

bool TDriveSink::WritePacket(uint32_t lba, const uint8_t* data, uint32_t size, bool head_copy) {
  // A packet short of the medium's write unit (the last one of an image)
  // goes out with zero blocks added; the image's size stays its own.
  const uint32_t unit_bytes = WriteUnitBlocks(medium_) * kSectorSize;
  if (size % unit_bytes != 0) {
    padded_.assign((size / unit_bytes + 1) * unit_bytes, 0);
    std::copy(data, data + size, padded_.begin());
    data = padded_.data();
    size = static_cast<uint32_t>(padded_.size());
  }
  // A packet larger than the drive's transfer limit goes out in several
  // writes, each of whole write units, none above the limit.
  for (uint32_t done = 0; done < size;) {
    const uint32_t part = std::min(size - done, write_limit_);
    if (!WriteOnce(lba + done / kSectorSize, data + done, part, head_copy)) return false;
    done += part;
  }
  return true;
}

bool TDriveSink::WriteOnce(uint32_t lba, const uint8_t* data, uint32_t size, bool head_copy) {
  bool formatted = false;
  for (uint32_t attempt = 1;; ++attempt) {
    if (WriteSectors(Device_, lba, static_cast<uint16_t>(size / kSectorSize), size, data)) return true;
    if (!Retry(attempt, head_copy, formatted)) return WriteFailed();
  }
}

bool TDriveSink::Retry(uint32_t attempt, bool head_copy, bool& formatted) {
  const TSCSIDevice& d = Device_;
  const uint8_t asc = d.LastSenseInfo.AddSenseCode, ascq = d.LastSenseInfo.AddSenQual;
  // The user asked to stop, or the write never reached the drive (no sense
  // at all: the device is gone or refuses the request): a refused write is
  // not tried again.
  if (CDFiles_.Aborted || FailedWithoutSense(d) != 0) return false;
  // An unformatted DVD+RW is formatted once, then written.
  if (medium_ == mtDVDPLUSRW && asc == mmc::kAscCannotWriteMedium && ascq == mmc::kAscqIncompatibleFormat &&
      !formatted) {
    formatted = true;
    if (FormatOnDemand()) return true;
  }
  if ((d.TargetBusy || asc == mmc::kAscNotReady) && !head_copy) {
    if (BusyWaited(attempt) > kBusyWaitMs) return false;
    Clock().Sleep(BusyPause(attempt));
    return true;
  }
  uint32_t limit = 0;
  if (d.TargetBusy || asc == mmc::kAscNotReady) {
    limit = kWriteAttempts;
  } else if (asc == 0 || (head_copy && asc == mmc::kAscReset)) {
    limit = head_copy ? kResetAttempts : kWriteAttempts;
  }
  if (attempt >= limit) return false;
  if (head_copy && asc == mmc::kAscReset) Clock().Sleep(kResetPauseMs);
  Clock().Sleep(head_copy ? kHeadCopyPauseMs : kWritePauseMs);
  return true;
}

bool TDriveSink::FormatOnDemand() {
  if (!FormatUnit(Device_, mmc::kFormatWithList, kDvdPlusRwFormat, sizeof kDvdPlusRwFormat)) return false;
  PollWhileBecomingReady(Device_, TPollOrder::kSleepFirst, TPollCommand::kDiscInformation, &CDFiles_.Aborted);
  return true;
}

bool TDriveSink::WriteFailed() {
  if (CDFiles_.Aborted) return Fail(kErrorAborted, {}, 0);
  // The refused command's own sense is the job's error; without one the
  // drive did not say why, and the system's reason, when there is one,
  // goes with it.  It is reported once, as the job's.
  const uint32_t sense = SenseCodeOf(Device_.LastSenseInfo);
  Device_.DeviceError.exchange(0);
  const TCommandFailure& command = Device_.LastFailure;
  return Fail(sense != 0 ? sense : kErrorDriveFailed, {}, command.system_error, command);
}

void TDriveSink::ZeroBuffer() {
  Device_.DeviceBufferPosition = 0;
  Device_.DeviceBufferSize = 0;
}

uint32_t TDriveSink::Close(TCommandFailure& failed) {
  TSCSIDevice& d = Device_;
  d.CloseFH = true;
  // A stop from now on lets the closing go on; a second one halts it.
  CDFiles_.Job.BeginClosing();
  TSessionClosing closing(d, &CDFiles_.Job.Halted());
  CloseTrackAndSession(closing);
  // Media written in place have no session to leave open.
  if (!WrittenInPlace(medium_)) {
    closing.CheckSessionClosed();
  } else if (medium_ != mtDVDRAM) {
    PollWhileBecomingReady(d, TPollOrder::kSleepIfBusy, TPollCommand::kDiscInformation, &CDFiles_.Job.Halted());
  }
  UnlockMedium(d);
  LoadMedium(d, false);
  RezeroUnit(d);
  TestUnitReady(d);
  failed = closing.Failure();
  return closing.Error();
}

// The closing commands of each medium.  Where one is sent "or" another,
// the second is the fallback for a drive that refuses the first.
void TDriveSink::CloseTrackAndSession(TSessionClosing& closing) {
  TSCSIDevice& d = Device_;
  const auto track = [this](int32_t n) { return static_cast<uint8_t>(sessions_ + n); };
  const bool finalize = d.FinalizeDisc;
  const TNextSession after = finalize ? TNextSession::kNone : TNextSession::kAllowed;
  switch (medium_) {
    case mtDVDR:
      closing.Flush(false);
      ZeroBuffer();
      closing.Close(kTrack, track(1));
      closing.Close(kTrack, track(2));
      closing.Close(kSession, track(3));
      return;
    case mtDVDPLUSR:
    case mtDVDPLUSRDL:
      closing.Flush(false);
      ZeroBuffer();
      closing.Close(kTrack, track(1));
      // Closing the session leaves a DVD+R open; finalizing is a function of its own.
      if (finalize) {
        closing.Close(kFinalize, 0);
      } else {
        closing.Close(kSession, medium_ == mtDVDPLUSR ? 0xFF : 0);
      }
      return;
    case mtDVDPLUSRW:
      closing.Flush(false);
      ZeroBuffer();
      closing.Close(kCompatibleStop, 0xFF);
      return;
    case mtDVDRWRO:
    case mtDVDRWSR:
      closing.Flush(false);
      ZeroBuffer();
      closing.Close(kTrack, 1);
      closing.Close(kSession, 0, true);
      return;
    case mtCDR:
    case mtCDRW:
      CommonCloseStart(closing);
      SetWriteParameters(d, medium_, after);
      closing.Close(kSession, 0, true) || closing.Close(kTrack, 0, true);
      return;
    default:
      CommonCloseStart(closing);
      closing.Close(kTrack, 0) || closing.Close(kTrack, 0, true);
      SetWriteParameters(d, medium_, after);
      closing.Close(kSession, 0, true) || closing.Close(kSession, 0);
      // A BD-R session closes open; finalizing is a function of its own.
      if (finalize && OneOf(medium_, {mtBDRSR, mtBDRRR})) closing.Close(kFinalize, 0);
      return;
  }
}

// The drive writes out its buffer in the background, and is waited for.
void TDriveSink::CommonCloseStart(TSessionClosing& closing) {
  closing.Flush(true);
  ZeroBuffer();
}

}  // namespace orvex
