// SPDX-License-Identifier: Apache-2.0
// Holds ComponentStatus at "importing" while an import runs.
#ifndef ORVEX_SERVICES_IMPORT_STATUS_H_
#define ORVEX_SERVICES_IMPORT_STATUS_H_

#include "image/component_status.h"
#include "image/image_layout.h"

namespace orvex {

// ComponentStatus is 8 for the life of the guard and 0 after it.
class TImportStatus {
 public:
  explicit TImportStatus(TImageLayout& layout) : layout_(layout) {
    layout_.ComponentStatus = kStatusImporting;
  }
  ~TImportStatus() { layout_.ComponentStatus = kStatusIdle; }
  TImportStatus(const TImportStatus&) = delete;
  TImportStatus& operator=(const TImportStatus&) = delete;

 private:
  TImageLayout& layout_;
};

}  // namespace orvex

#endif  // ORVEX_SERVICES_IMPORT_STATUS_H_
