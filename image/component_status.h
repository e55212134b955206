// SPDX-License-Identifier: Apache-2.0
// The values of the component's status word: the phase it is in.
#ifndef ORVEX_IMAGE_COMPONENT_STATUS_H_
#define ORVEX_IMAGE_COMPONENT_STATUS_H_

#include <cstdint>

namespace orvex {

enum TComponentStatus : uint16_t {
  kStatusIdle = 0,
  kStatusWriting = 1,
  kStatusErasing = 2,
  kStatusBackgroundFormat = 3,
  kStatusClosingSession = 4,
  kStatusClosingDisc = 5,  // reserved: no job sets it
  kStatusPreparing = 6,
  kStatusAborting = 7,
  kStatusImporting = 8,
  kStatusBurnError = 9,
  kStatusVerifying = 10,
  kStatusSmartReferences = 11,
};

}  // namespace orvex

#endif  // ORVEX_IMAGE_COMPONENT_STATUS_H_
