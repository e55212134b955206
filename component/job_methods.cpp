// The job methods of the component.
#include "component/orvex.h"

#include "pipeline/write_job.h"
#include "platform/text_conversion.h"
#include "services/session_import.h"
#include "services/smart_references.h"

namespace orvex {

bool TOrvex::ReadyForJob() {
  if (CDFiles.JobRunning) return false;
  CDFiles.Workers.JoinAll();
  return true;
}

uint32_t TOrvex::Prepare() {
  if (!ReadyForJob()) return 0;
  return CDFiles.Prepare();
}

bool TOrvex::BuildISOImage(const std::string& FileName) {
  std::u16string name;
  if (!Utf8ToUtf16Bounded(FileName, kMaxImageFileNameUnits + 1, name)) {
    CDFiles.FileName.Set(Utf8ToUtf16(FileName));
    CDFiles.ErrorNumber = kErrorCreating;
    return false;
  }
  return BuildISOImageW(name);
}

bool TOrvex::BuildISOImageW(const std::u16string& FileName) {
  if (!ReadyForJob()) return false;
  if (!CDFiles.Prepared) {
    CDFiles.ErrorNumber = kErrorNotPrepared;
    return false;
  }
  return orvex::BuildISOImageW(CDFiles, FileName, this, on_write_done_);
}

bool TOrvex::GenerateSmartReferences() {
  if (!ReadyForJob()) return false;
  CDFiles.cbGenSmRefEvent = on_smart_references_done_;
  StartSmartReferenceJob(CDFiles);
  return true;
}

bool TOrvex::MountISOImage(const std::string& ISOFileName) {
  if (!ReadyForJob()) return false;
  return orvex::MountISOImage(CDFiles, ISOFileName);
}

}  // namespace orvex
