// SPDX-License-Identifier: Apache-2.0
// The job methods of the component.
#include "component/orvex.h"

#include <optional>

#include "component/error_text.h"
#include "pipeline/burn_job.h"
#include "pipeline/write_job.h"
#include "platform/text_conversion.h"
#include "drive/medium_inspection.h"
#include "services/disc_import.h"
#include "services/disc_session.h"
#include "services/erase_job.h"
#include "services/session_import.h"
#include "services/smart_references.h"
#include "services/verify_job.h"
#include "services/volume_label.h"

namespace orvex {

bool TOrvex::ReadyForJob() { return CDFiles.Job.Idle(); }

uint32_t TOrvex::Prepare() {
  if (!ReadyForJob()) return 0;
  return CDFiles.Prepare();
}

namespace {

// The UTF-16 form of an 8-bit image file name; a name too long for any
// image file sets `error` pending, naming the file, and gives nothing.
std::optional<std::u16string> ImageFileName(TCDFiles& CDFiles, const std::string& FileName, uint32_t error) {
  std::u16string name;
  if (Utf8ToUtf16Bounded(FileName, kMaxImageFileNameUnits + 1, name)) return name;
  CDFiles.PendingError().Set({error, Utf8ToUtf16(FileName), 0});
  return std::nullopt;
}

}  // namespace

// A refused call changes nothing, not even the pending error of a running job.
bool TOrvex::BuildISOImage(const std::string& FileName) {
  if (!ReadyForJob()) return false;
  const std::optional<std::u16string> name = ImageFileName(CDFiles, FileName, kErrorCreating);
  return name && BuildISOImageW(*name);
}

bool TOrvex::BuildISOImageW(const std::u16string& FileName) {
  if (!ReadyForJob()) return false;
  return orvex::BuildISOImageW(CDFiles, FileName, this, on_write_done_);
}

bool TOrvex::Burn() {
  if (!ReadyForJob()) return false;
  return orvex::Burn(CDFiles, Device, this, on_write_done_);
}

bool TOrvex::BurnISOImage(const std::string& FileName) {
  if (!ReadyForJob()) return false;
  const std::optional<std::u16string> name = ImageFileName(CDFiles, FileName, kErrorOpening);
  return name && BurnISOImageW(*name);
}

bool TOrvex::BurnISOImageW(const std::u16string& FileName) {
  if (!ReadyForJob()) return false;
  return orvex::BurnISOImageW(CDFiles, Device, FileName, this, on_write_done_);
}

bool TOrvex::EraseDisc(bool Quick) {
  if (!ReadyForJob()) return false;
  return StartEraseJob(CDFiles, Device, Quick, on_erase_done_);
}

bool TOrvex::VerifyDisc(bool StopOnMismatch, bool FireVerifyEventOnAllFiles) {
  if (!ReadyForJob()) return false;
  return StartVerifyJob(CDFiles, Device, StopOnMismatch, FireVerifyEventOnAllFiles, on_verify_done_, this);
}

bool TOrvex::VerifyDiscSession(uint8_t SessionNo, bool StopOnMismatch, bool FireVerifyEventOnAllFiles) {
  if (!ReadyForJob()) return false;
  return StartSessionVerifyJob(CDFiles, Device, SessionNo, StopOnMismatch, FireVerifyEventOnAllFiles,
                               on_verify_done_, this);
}

int32_t TOrvex::ImportSession(uint8_t SessionNo, const std::string& DestPath) {
  return ImportSessionW(SessionNo, Utf8ToUtf16(DestPath));
}

int32_t TOrvex::ImportSessionW(uint8_t SessionNo, const std::u16string& DestPath) {
  if (!ReadyForJob()) return 0;
  last_import_ = TImportReport{};
  const int32_t session = orvex::ImportSessionW(CDFiles, Device, SessionNo, DestPath, &last_import_);
  // A new session made from a part of the tree would hide the rest of it.
  if (last_import_.found && !last_import_.Complete()) {
    CDFiles.PendingError().Set({kErrorSessionUnreadable, {}, 0});
  }
  return session;
}

bool TOrvex::LocateLastImage() {
  if (!ReadyForJob()) return false;
  if (WrittenInPlace(orvex::DiscIs(Device))) {
    const uint32_t end = orvex::ExistingVolumeSize(Device);
    if (end < CDFiles.TotalImageSize) return false;
    CDFiles.FirstWritableSector = end - CDFiles.TotalImageSize;
    return true;
  }
  const std::optional<TDiscSession> session = LocateSession(Device, SessionNumberOf(Device, 0));
  if (!session || session->end - session->start < CDFiles.TotalImageSize) return false;
  CDFiles.FirstWritableSector = session->start;
  return true;
}

std::u16string TOrvex::ReadVolumeLabelOfDisc(uint8_t SessionNo, std::string* unanswered) {
  if (unanswered != nullptr) unanswered->clear();
  if (!ReadyForJob()) return {};
  TCommandFailure refused;
  std::u16string label = orvex::ReadVolumeLabelOfDisc(Device, SessionNo, unanswered, &refused);
  // The refused command in the words a job's failure has.
  if (unanswered != nullptr && refused.failed) *unanswered = CommandFailureText(refused);
  return label;
}

bool TOrvex::GenerateSmartReferences() {
  if (!ReadyForJob()) return false;
  CDFiles.cbGenSmRefEvent = on_smart_references_done_;
  return StartSmartReferenceJob(CDFiles);
}

bool TOrvex::MountISOImage(const std::string& ISOFileName, uint32_t SessionStart) {
  if (!ReadyForJob()) return false;
  last_import_ = orvex::MountISOImage(CDFiles, ISOFileName, SessionStart);
  return last_import_.found;
}

}  // namespace orvex
