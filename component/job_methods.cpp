// The job methods of the component.
#include "component/orvex.h"

#include "pipeline/burn_job.h"
#include "pipeline/write_job.h"
#include "platform/text_conversion.h"
#include "services/session_import.h"
#include "services/smart_references.h"

namespace orvex {

bool TOrvex::ReadyForJob() { return CDFiles.Job.Idle(); }

uint32_t TOrvex::Prepare() {
  if (!ReadyForJob()) return 0;
  return CDFiles.Prepare();
}

// A refused call changes nothing, not even the pending error of a running job.
bool TOrvex::BuildISOImage(const std::string& FileName) {
  if (!ReadyForJob()) return false;
  std::u16string name;
  if (!Utf8ToUtf16Bounded(FileName, kMaxImageFileNameUnits + 1, name)) {
    TPendingError{CDFiles.ErrorNumber, CDFiles.FileName, CDFiles.SystemError}.Set(
        {kErrorCreating, Utf8ToUtf16(FileName), 0});
    return false;
  }
  return BuildISOImageW(name);
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
  std::u16string name;
  if (!Utf8ToUtf16Bounded(FileName, kMaxImageFileNameUnits + 1, name)) {
    TPendingError{CDFiles.ErrorNumber, CDFiles.FileName, CDFiles.SystemError}.Set(
        {kErrorOpening, Utf8ToUtf16(FileName), 0});
    return false;
  }
  return BurnISOImageW(name);
}

bool TOrvex::BurnISOImageW(const std::u16string& FileName) {
  if (!ReadyForJob()) return false;
  return orvex::BurnISOImageW(CDFiles, Device, FileName, this, on_write_done_);
}

bool TOrvex::GenerateSmartReferences() {
  if (!ReadyForJob()) return false;
  CDFiles.cbGenSmRefEvent = on_smart_references_done_;
  return StartSmartReferenceJob(CDFiles);
}

bool TOrvex::MountISOImage(const std::string& ISOFileName) {
  if (!ReadyForJob()) return false;
  last_import_ = orvex::MountISOImage(CDFiles, ISOFileName);
  return last_import_.found;
}

}  // namespace orvex
