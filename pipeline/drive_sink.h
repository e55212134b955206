// SPDX-License-Identifier: Apache-2.0
// The packets of a burn go to the disc in the selected drive.
//
// Begin prepares the drive: cache flushed, write parameters and speed set,
// the streaming performance asked for on DVD and BD media, and on DVD-R the
// time stamp sent and the track reserved.  Where the write parameters page
// governs the recording (CD, DVD-R, sequential DVD-RW, and any test write),
// a drive that refuses it fails the run with its sense before anything is
// written or closed, so the disc stays as it was.  Otherwise the medium is
// locked in the drive before anything is recorded, until Finish has closed
// it (also after a failure or an abort).  Each packet is then one
// WRITE(10) at the next address, a short last packet filled up with zero
// blocks to the medium's write unit (WriteUnitBlocks); a write refused
// while the drive is busy or not ready is tried again every 100 ms, 5000
// times at most, and any other refusal fails the run.  A DVD+RW that refuses a write as
// unformatted is formatted once and the write tried again.
//
// On overwritable media (DVD+RW, restricted-overwrite DVD-RW, DVD-RAM,
// BD-RE) a session that does not start at block 0 is followed by a copy of
// its first packet at block 0, so that the volume descriptors at the start
// of the disc describe the newest session.  The copy is written only once every block of the session is, so
// a burn that fails leaves the earlier session readable.
//
// Finish closes the track and session as the medium needs, also after a
// failed write, and finalizes the disc when FinalizeDisc asks for it; each
// closing command is judged and waited for (session_closing.h), and on
// media with sessions the disc must show the session closed afterwards.
// The drive buffer is read after the third packet and every sixth after.
// Every wait goes through the platform clock.
#ifndef ORVEX_PIPELINE_DRIVE_SINK_H_
#define ORVEX_PIPELINE_DRIVE_SINK_H_

#include <utility>
#include <vector>

#include "drive/exclusive_use.h"
#include "drive/scsi_device.h"
#include "pipeline/cd_files.h"
#include "pipeline/packet_sink.h"
#include "pipeline/session_closing.h"

namespace orvex {

class TDriveSink final : public TPacketSink {
 public:
  // `hold` keeps the drive to the burn until the sink goes (exclusive_use.h).
  TDriveSink(TCDFiles& CDFiles, TSCSIDevice& Device, TExclusiveUse hold)
      : CDFiles_(CDFiles), Device_(Device), hold_(std::move(hold)) {}

  bool Begin() override;
  bool Write(const uint8_t* data, uint32_t size) override;
  // A complete run: true unless the head copy or the closing fails (the
  // closing's error is then the sense of the refusal that failed it, or
  // kErrorClosingFailed without one), or an abort came meanwhile.  After a
  // failure the disc is closed all the same, and the result is true unless
  // the head copy failed.
  bool Finish(bool complete) override;

 private:
  // One packet, in WRITE(10)s of at most write_limit_ bytes, each with the
  // retries of the main loop, or of the head copy.
  bool WritePacket(uint32_t lba, const uint8_t* data, uint32_t size, bool head_copy);
  // One WRITE(10) of `size` bytes at `lba`, sent again as Retry allows.
  bool WriteOnce(uint32_t lba, const uint8_t* data, uint32_t size, bool head_copy);
  // Whether a refused write may be tried again, after sleeping as the
  // refusal asks.  `attempt` counts the refusals of this write so far.
  bool Retry(uint32_t attempt, bool head_copy, bool& formatted);
  bool FormatOnDemand();
  bool WriteFailed();
  // The closing's error, or kErrorNone; `failed` gets the command whose
  // refusal failed it (see TSessionClosing::Failure).
  uint32_t Close(TCommandFailure& failed);
  void CloseTrackAndSession(TSessionClosing& closing);
  void CommonCloseStart(TSessionClosing& closing);
  void ZeroBuffer();

  TCDFiles& CDFiles_;
  TSCSIDevice& Device_;
  TMedium medium_ = TMedium::mtUNKNOWN;
  SYSTEMTIME started_{};  // UTC, for the DVD-R time stamp
  uint32_t next_ = 0;     // the next packet's block
  int32_t sessions_ = 0;  // complete sessions before this one
  int32_t poll_countdown_ = 2;
  bool no_poll_ = false;
  bool begun_ = false;
  bool head_copy_ = false;     // the session needs a copy of its start at block 0
  std::vector<uint8_t> head_;  // the first packet, for the copy at block 0
  std::vector<uint8_t> padded_;  // a short packet filled up to the write unit
  // The most bytes one WRITE(10) carries: the transport's limit for the
  // drive, in whole write units (at least one unit, whatever the limit).
  uint32_t write_limit_ = 0;
  TExclusiveUse hold_;
};

}  // namespace orvex

#endif  // ORVEX_PIPELINE_DRIVE_SINK_H_
