// SPDX-License-Identifier: Apache-2.0
#include "pipeline/burn_job.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <optional>

#include "drive/capabilities.h"
#include "drive/execute_command.h"
#include "drive/exclusive_use.h"
#include "drive/medium.h"
#include "drive/medium_inspection.h"
#include "drive/medium_lock.h"
#include "drive/mmc_codes.h"
#include "drive/mmc_commands.h"
#include "drive/ready_polls.h"
#include "drive/transfer_rate.h"
#include "drive/write_parameters.h"
#include "pipeline/drive_sink.h"
#include "pipeline/session_closing.h"
#include "pipeline/write_job.h"
#include "platform/text_conversion.h"

namespace orvex {
namespace {

using enum TMedium;

// Format parameter lists: a list header (FOV and Immed, DCRT for list A)
// and one descriptor of blocks, format type and type-dependent value.
constexpr uint8_t kQuickFormat[12] = {0x00, 0xA2, 0x00, 0x08, 0x00, 0x00, 0x03, 0xE8, 0x54, 0x00, 0x00, 0x10};
constexpr uint8_t kQuickFormatAnySize[12] = {0x00, 0x82, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x54, 0x00, 0x00, 0x10};
constexpr uint8_t kGrowSession[12] = {0x00, 0x82, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x4C, 0x00, 0x00, 0x10};

// What some drives report as the next writable address of a blank disc.
constexpr uint32_t kBlankDiscAddress = 1000;

bool OneOf(TMedium m, std::initializer_list<TMedium> media) {
  return std::find(media.begin(), media.end(), m) != media.end();
}

// Media written anywhere: a new session goes after the volume found on them.
bool RandomlyWritable(TMedium m) { return OneOf(m, {mtDVDPLUSRW, mtDVDRAM, mtBDRE}); }

// The preparation's commands may have been refused on the way (drives
// differ in what they accept): those are no errors of the job.
void ForgetPreparationErrors(TSCSIDevice& device) { device.DeviceError.exchange(0); }

bool Refuse(TCDFiles& CDFiles, TSCSIDevice& device, uint32_t error, const std::u16string& name = {}) {
  ForgetPreparationErrors(device);
  CDFiles.PendingError().Set({error, name, 0});
  return false;
}

uint8_t LastTrack(TSCSIDevice& device) {
  ReadDiscInformation(device, reinterpret_cast<uint8_t*>(&device.DiscInformation), sizeof device.DiscInformation);
  return device.DiscInformation.LastTrackOfLastSession;
}

// Quick-formats a blank sequential DVD-RW (it becomes a restricted-
// overwrite one) or grows the formatted area of a restricted-overwrite one;
// false when the medium is neither.
bool FormatDvdRw(TSCSIDevice& device, TMedium medium, const std::atomic<bool>& stop) {
  if (medium != mtDVDRWSR && medium != mtDVDRWRO) return false;
  const TMediumLock lock(device);
  if (medium == mtDVDRWSR) {
    if (!FormatUnit(device, mmc::kFormatWithList, kQuickFormat, sizeof kQuickFormat)) {
      FormatUnit(device, mmc::kFormatWithList, kQuickFormatAnySize, sizeof kQuickFormatAnySize);
    }
  } else {
    FormatUnit(device, mmc::kFormatWithList, kGrowSession, sizeof kGrowSession);
  }
  PollWhileBecomingReady(device, TPollOrder::kSleepIfBusy, TPollCommand::kDiscInformation, &stop);
  return true;
}

// Readies the disc for a new session; the commands' results do not fail
// the job.  A sequential DVD-RW is formatted only while blank: one that
// holds sessions takes the next, since formatting would overwrite the
// blocks that files imported from it still point at.  A test write, which
// must leave the disc as it was, formats nothing.  After a format the
// medium is asked for again, as its kind may have changed.  The wait for
// the format ends once `stop` is true.
void ReadyDisc(TSCSIDevice& device, const std::atomic<bool>& stop) {
  SetWriteParameters(device, device.Medium, TNextSession::kNone);
  const bool blank =
      ReadDiscInformation(device, reinterpret_cast<uint8_t*>(&device.DiscInformation), sizeof device.DiscInformation) &&
      DiscStatusOf(device.DiscInformation) == kDiscStatusEmpty;
  if (device.TestWrite || (device.Medium == mtDVDRWSR && !blank)) return;
  if (FormatDvdRw(device, device.Medium, stop)) device.Medium = DiscIs(device);
}

// The block the new session starts at.  Every address the session writes
// counts from block 0, and so does its volume space size: the blocks before
// it (VDImageSize) are counted in, on sequential media as on media written
// in place.
void FindFirstWritableSector(TCDFiles& CDFiles, TSCSIDevice& device) {
  CDFiles.VDImageSize = 0;
  if (RandomlyWritable(device.Medium)) {
    CDFiles.FirstWritableSector = ExistingVolumeSize(device);
  } else if (ReadTrackInformation(device, LastTrack(device))) {
    const uint32_t next = device.TrackInformation.NextWritableAddress;
    CDFiles.FirstWritableSector = next == kBlankDiscAddress ? 0 : next;
  } else if (ReadTrackInformation(device, 1)) {
    CDFiles.FirstWritableSector = device.TrackInformation.TrackStartAddress;
  }
  // A restricted-overwrite DVD-RW is written in whole ECC blocks from an
  // ECC block's start; a disc quick-formatted to another size reports that
  // size as its next writable address, and the session starts after it.
  if (device.Medium == mtDVDRWRO) {
    const uint64_t unit = WriteUnitBlocks(device.Medium);
    CDFiles.FirstWritableSector = static_cast<uint32_t>((CDFiles.FirstWritableSector + unit - 1) / unit * unit);
  }
  CDFiles.VDImageSize = CDFiles.FirstWritableSector;
}

// Whether the drive can simulate writing on the medium: a test write only
// exists for CD-R, CD-RW, DVD-R and sequential DVD-RW, and only in a drive
// whose capabilities page says it can.  Elsewhere the drive would record.
bool CanSimulate(TSCSIDevice& device) {
  if (!OneOf(device.Medium, {mtCDR, mtCDRW, mtDVDR, mtDVDRWSR})) return false;
  RefreshCapabilities(device);
  return device.dc.TestWrite;
}

// Why a burn must not start, or 0: asked before anything is written, for
// the layout (`tree`) or an image.  An empty layout would spend a write-once
// disc on an empty session; a medium of a kind the drive layer does not
// know how to write and close (no profile of ours, DVD-R DL among them)
// would be written as something else; a medium the drive says it cannot
// write would fail at the first write, after the preparation (a format
// among it) had changed the disc; a test write that cannot be simulated
// would record for real.
uint32_t Refusal(const TCDFiles& CDFiles, TSCSIDevice& device, bool tree) {
  if (tree && CDFiles.FileCounter() == 0 && CDFiles.BootImage.empty()) return kErrorNothingToBurn;
  if (device.Medium == mtUNKNOWN) return Writable(device) ? kErrorMediumNotSupported : kErrorNotWritable;
  if (DriveWritesMedium(device, device.Medium) == false) return kErrorNotWritable;
  if (device.TestWrite && !CanSimulate(device)) return kErrorNoTestWrite;
  return kErrorNone;
}

// An earlier burn that was cut short (the medium pulled out, the program
// ended while closing) leaves the disc's last session incomplete.  A burn
// that wrote on would add to the interrupted track, and its session would
// start where the interrupted one does: readers would find that burn's
// volume, not the new one.  So before anything is written the session is
// closed as MMC allows: its open tracks, then the session itself, kept open
// for the one to come, with the medium locked in the drive meanwhile.  What
// the interrupted burn wrote is lost to readers either way.
// kErrorIncompleteSession when the session cannot be closed, or the burn
// is a test write, which must leave the disc as it was; else 0.
uint32_t CloseIncompleteSession(TSCSIDevice& device) {
  if (WrittenInPlace(device.Medium)) return kErrorNone;  // no sessions to leave open
  const TDiscInformation& info = device.DiscInformation;
  const bool read = PastAttentions(device, [&] {
    return ReadDiscInformation(device, reinterpret_cast<uint8_t*>(&device.DiscInformation), sizeof info);
  });
  if (!read || LastSessionState(info) != kSessionIncomplete) return kErrorNone;
  if (device.TestWrite) return kErrorIncompleteSession;
  // The closes record on the disc: the medium stays in the drive until they
  // are done, or have failed.
  const TMediumLock lock(device);
  const int first = info.FirstTrackOfLastSession, last = info.LastTrackOfLastSession;
  TSessionClosing closing(device);
  for (int track = std::max(first, 1); track <= last; ++track) {
    const auto number = static_cast<uint8_t>(track);
    if (ReadTrackInformation(device, number) && TrackIsOpen(device.TrackInformation)) {
      closing.Close(mmc::TCloseFunction::kTrack, number, true);
    }
  }
  // CD and DVD-R close the disc with the session unless page 05h asks for more.
  SetWriteParameters(device, device.Medium, TNextSession::kAllowed);
  closing.Close(mmc::TCloseFunction::kSession, static_cast<uint16_t>(last), true);
  return closing.CheckSessionClosed() ? kErrorNone : kErrorIncompleteSession;
}

// Why the disc cannot take `blocks` more, or 0.  A drive that does not say
// how much room is left is not taken to have none: its refusal's sense is
// the error (kErrorDriveFailed without one).
uint32_t RoomProblem(TSCSIDevice& device, uint32_t blocks) {
  if (!Writable(device)) return kErrorNotWritable;
  const std::optional<uint32_t> room = AnsweredFreeBlocks(device);
  if (!room) {
    const uint16_t sense = SenseCodeOf(device.LastSenseInfo);
    return sense != 0 ? uint32_t{sense} : uint32_t{kErrorDriveFailed};
  }
  return *room < blocks ? kErrorNoRoom : kErrorNone;
}

// Whether the file holds a volume: an ISO 9660 or UDF descriptor at sector 16.
bool HoldsVolume(const std::string& path) {
  TFile file = TFile::OpenRead(path);
  uint8_t head[16 * 2048 + 6];
  size_t got = 0;
  while (file.IsOpen() && got < sizeof head) {
    const int64_t n = file.Read(head + got, sizeof head - got);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  if (got < sizeof head) return false;
  const uint8_t* id = head + 16 * 2048 + 1;
  return std::memcmp(id, "CD001", 5) == 0 || std::memcmp(id, "BEA01", 5) == 0;
}

bool StartBurn(TCDFiles& CDFiles, TSCSIDevice& device, TExclusiveUse hold, TObject* Sender, TWriteDoneEvent OnDone) {
  ForgetPreparationErrors(device);
  return StartWriteJob(CDFiles, std::make_unique<TDriveSink>(CDFiles, device, std::move(hold)), Sender,
                       std::move(OnDone));
}

// The drive is the burn's alone from its preparation (a format among it)
// to its end; error 22 names the device another program holds, error 23
// the one the user may not write to.
bool Unheld(const TExclusiveUse& hold, TCDFiles& CDFiles, TSCSIDevice& device) {
  if (hold.Busy()) return !Refuse(CDFiles, device, kErrorDriveBusy, Utf8ToUtf16(hold.Path()));
  if (hold.NoWriteAccess()) return !Refuse(CDFiles, device, kErrorNoWriteAccess, Utf8ToUtf16(hold.Path()));
  return false;
}

}  // namespace

bool Burn(TCDFiles& CDFiles, TSCSIDevice& Device, TObject* Sender, TWriteDoneEvent OnDone) {
  if (CDFiles.Job.Running()) return false;
  ResumeCommands(Device);
  if (!CDFiles.Prepared) return Refuse(CDFiles, Device, kErrorNotPrepared);
  CDFiles.ISOFileName.clear();
  CDFiles.SaveToISOImage = false;
  CDFiles.BurnISOImage = false;
  TExclusiveUse hold(Device);
  if (Unheld(hold, CDFiles, Device)) return false;
  Device.Medium = DiscIs(Device);
  if (const uint32_t refusal = Refusal(CDFiles, Device, true)) return Refuse(CDFiles, Device, refusal);
  ResetSpeedSamples(Device);
  // An abort meanwhile (AbortOperation from another thread) ends the
  // format's wait and the burn with it.
  CDFiles.Aborted = false;
  ReadyDisc(Device, CDFiles.Aborted);
  if (CDFiles.Aborted) return Refuse(CDFiles, Device, kErrorAborted);
  if (const uint32_t problem = CloseIncompleteSession(Device)) return Refuse(CDFiles, Device, problem);
  if (const uint32_t problem = RoomProblem(Device, CDFiles.TotalImageSize)) return Refuse(CDFiles, Device, problem);
  FindFirstWritableSector(CDFiles, Device);
  return StartBurn(CDFiles, Device, std::move(hold), Sender, std::move(OnDone));
}

bool BurnISOImageW(TCDFiles& CDFiles, TSCSIDevice& Device, const std::u16string& FileName, TObject* Sender,
                   TWriteDoneEvent OnDone) {
  if (CDFiles.Job.Running()) return false;
  ResumeCommands(Device);
  auto image = std::make_unique<TContentReader>();
  const std::string path = Utf16ToUtf8(FileName);
  if (FileName.empty() || FileName.size() > kMaxImageFileNameUnits || !image->Open(path)) {
    return Refuse(CDFiles, Device, kErrorOpening, FileName);
  }
  const std::optional<uint64_t> bytes = image->OpenedFileSize();
  if (!bytes || !HoldsVolume(path)) return Refuse(CDFiles, Device, kErrorNotAnImage, FileName);

  TExclusiveUse hold(Device);
  if (Unheld(hold, CDFiles, Device)) return false;
  Device.Medium = DiscIs(Device);
  if (const uint32_t refusal = Refusal(CDFiles, Device, false)) return Refuse(CDFiles, Device, refusal);
  ResetSpeedSamples(Device);
  const uint32_t blocks = static_cast<uint32_t>(std::min<uint64_t>(Sectors(*bytes), UINT32_MAX));
  if (const uint32_t problem = RoomProblem(Device, blocks)) return Refuse(CDFiles, Device, problem);
  LastTrack(Device);  // the disc information, read again
  if (!RandomlyWritable(Device.Medium) && Device.Medium != mtDVDRWRO &&
      DiscStatusOf(Device.DiscInformation) != kDiscStatusEmpty) {
    return Refuse(CDFiles, Device, kErrorNotBlank);
  }
  // The layout's size is the image's now: a Burn needs a new Prepare.
  CDFiles.Prepared = false;
  CDFiles.ISOFileName = FileName;
  CDFiles.SaveToISOImage = false;
  CDFiles.BurnISOImage = true;
  CDFiles.TotalImageSize = blocks;
  CDFiles.ImageBytes = *bytes;
  CDFiles.ImageSource = std::move(image);
  return StartBurn(CDFiles, Device, std::move(hold), Sender, std::move(OnDone));
}

}  // namespace orvex
