// SPDX-License-Identifier: Apache-2.0
#include "services/disc_import.h"

#include "services/disc_session.h"
#include "services/import_status.h"
#include "services/session_import.h"

namespace orvex {

int32_t ImportSessionW(TImageLayout& layout, TSCSIDevice& Device, uint8_t SessionNo,
                       const std::u16string& DestPath, TImportReport* report) {
  const TImportStatus status(layout);
  const int32_t session = SessionNumberOf(Device, SessionNo);
  pDirEntry dest = layout.FindDir(DestPath);
  if (dest == nullptr) dest = layout.RootDir;
  TImportReport outcome;
  if (dest != nullptr) {
    if (const std::optional<TDiscSession> located = LocateSession(Device, session)) {
      TDiscSectorReader disc(Device, located->end);
      outcome = ImportVolume(layout, disc, located->start, dest);
    }
  }
  if (report != nullptr) *report = outcome;
  return session;
}

}  // namespace orvex
