// SPDX-License-Identifier: Apache-2.0
// Construction, properties, errors and the delivery of completion events.
#include "component/orvex.h"

#include "drive/command_names.h"
#include "drive/device_enumeration.h"
#include "drive/execute_command.h"
#include "image/boot_image.h"
#include "platform/text_conversion.h"

namespace orvex {
namespace {

constexpr uint32_t kMinCacheBytes = 2 * 1024 * 1024;

// Boolean message parameters arrive as their low byte: -1 is true, 256 false.
bool FlagOf(int64_t parameter) { return (parameter & 0xFF) != 0; }

TOrvex::TDriveFailure DriveFailureRecord(const TCommandFailure& f) {
  if (!f.failed) return {};
  return {true, f.opcode, CommandTitle(f.opcode), f.has_block, f.block, f.sense_key, f.asc, f.ascq, f.system_error,
          CommandFailureText(f)};
}

}  // namespace

TOrvex::TOrvex(TComponent* AOwner) : TComponent(AOwner) {
  SetBurnProof(true);
  SetTestWrite(false);
  SetFinalizeDisc(false);
  SetReplaceFile(false);
  SetCacheSize(32);
  SetJolietFileSystem(true);
  SetUDFBridge(false);
  if (AOwner != nullptr) {
    notifications_ = std::make_unique<TCompletionQueue>();
    CDFiles.hWNDFE = notifications_.get();
    Device.hWNDFE = notifications_.get();
  }
  Device.CloseFH = true;
}

// A running job is aborted and waited for: its threads use the records.
TOrvex::~TOrvex() {
  if (CDFiles.Job.Running()) AbortOperation();
  CDFiles.Job.JoinAll();
  CloseDevice(Device);
}

void TOrvex::SetTreeOption(bool& option, bool value) {
  if (option != value) CDFiles.Prepared = false;
  option = value;
}

void TOrvex::SetVolumeID(const std::string& value) {
  const std::string_view text(value.c_str());  // up to the first zero byte
  CDFiles.VolumeLabel = std::string(CutUtf8(text, kVolumeLabelChars));
  CDFiles.VolumeLabelW = Utf8ToUtf16(CDFiles.VolumeLabel);
}

void TOrvex::SetVolumeIDW(const std::u16string& value) {
  const std::u16string_view text(value.c_str());
  CDFiles.VolumeLabelW = std::u16string(CutUtf16(text, kVolumeLabelChars));
  CDFiles.VolumeLabel = std::string(CutUtf8(Utf16ToUtf8(CDFiles.VolumeLabelW), kVolumeLabelChars));
}

void TOrvex::SetCacheSize(uint32_t mebibytes) {
  uint32_t bytes = mebibytes * 1'048'576u;  // wraps in 32 bits, as the property always has
  if (static_cast<int32_t>(bytes) < static_cast<int32_t>(kMinCacheBytes)) bytes = kMinCacheBytes;
  CDFiles.CacheSize = bytes;
}

void TOrvex::SetBootImage(const std::string& path) {
  if (path.empty()) return;
  // A running program checks the file first and ignores an unusable one;
  // while settings load or in a design tool the path is taken as it comes.
  if ((ComponentState() & (csLoading | csDesigning)) == 0) {
    const std::optional<int64_t> size = BootFileSize(path);
    if (!size || !IsBootImageSize(*size)) return;
  }
  CDFiles.SetBootImage(path);
}

std::string TOrvex::Version() const { return "Orvex " ORVEX_VERSION; }

uint32_t TOrvex::TakePendingError(bool* from_job) {
  const uint32_t job = CDFiles.ErrorNumber.exchange(0);
  if (from_job != nullptr) *from_job = job != 0;
  if (job != 0) return job;
  return Device.DeviceError.exchange(0);
}

uint32_t TOrvex::ErrorNumber() { return TakePendingError(); }

std::string TOrvex::ErrorString() { return TakeError().Text; }

TOrvex::TErrorInfo TOrvex::TakeError() {
  TErrorInfo info;
  bool job = false;
  info.Number = TakePendingError(&job);
  if (job) {
    info.FileName = CDFiles.FileName.Get();
    info.SystemError = CDFiles.SystemError;
    info.Drive = DriveFailureRecord(CDFiles.FailedCommand.Get());
  }
  Device.ErrStr = std::string(CutUtf8(ErrorText(info.Number, CDFiles.FileName.Get()), kErrorTextBytes));
  info.Text = Device.ErrStr;
  return info;
}

std::u16string TOrvex::ErrorStringW() {
  const uint32_t number = TakePendingError();
  Device.ErrStrW =
      std::u16string(CutUtf16(ErrorTextW(number, CDFiles.FileName.Get()), kErrorTextUnits));
  return Device.ErrStrW;
}

void TOrvex::ClearAll() {
  if (ReadyForJob()) CDFiles.ClearAll();
}

// Stopping wakes every waiting worker at once.  Never call it from a signal
// handler: it takes locks.
void TOrvex::AbortOperation() {
  CDFiles.ComponentStatus = kStatusAborting;
  // A drive that stopped answering must not hold the job: its command is
  // given up a while later, or at once when the closing halts.
  if (CDFiles.Job.UserStop()) {
    HaltCommands(Device);
  } else {
    InterruptCommands(Device);
  }
}

size_t TOrvex::ProcessMessages() {
  if (!notifications_) return 0;
  // Records posted by the handlers themselves wait for the next call.
  const size_t waiting = notifications_->Pending();
  size_t done = 0;
  TCompletionRecord record;
  while (done < waiting && notifications_->Take(record)) {
    ++done;
    Dispatch(record);
  }
  return done;
}

int TOrvex::NotificationHandle() const { return notifications_ ? notifications_->Fd() : -1; }

void TOrvex::Dispatch(const TCompletionRecord& record) {
  switch (record.Message) {
    case kMessageEraseDone:
      if (on_erase_done_) on_erase_done_(this, 0, FlagOf(record.LParam));
      break;
    case kMessageWriteDone:
      if (on_write_done_) on_write_done_(this, 0, FlagOf(record.LParam));
      break;
    case kMessageVerifyDone:
      if (on_verify_done_) {
        on_verify_done_(this, 0, static_cast<int32_t>(record.WParam), FlagOf(record.LParam));
      }
      break;
    case kMessageSmartReferencesDone:
      if (on_smart_references_done_) {
        on_smart_references_done_(this, FlagOf(record.WParam), static_cast<int32_t>(record.LParam));
      }
      break;
    default:
      break;
  }
}

}  // namespace orvex
