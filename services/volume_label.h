// SPDX-License-Identifier: Apache-2.0
// The volume label of a session on the disc in the selected drive.
#ifndef ORVEX_SERVICES_VOLUME_LABEL_H_
#define ORVEX_SERVICES_VOLUME_LABEL_H_

#include <cstdint>
#include <span>
#include <string>

#include "drive/scsi_device.h"
#include "services/volume_records.h"

namespace orvex {

// The label of session SessionNo (0: the last complete one), from the
// descriptor whose tree an import would read (Joliet first, then another
// supplementary descriptor, then the primary one; see FindVolumeTree).
// Empty on a blank disc, for a session or track the drive does not know,
// and when the session holds no volume.  Runs on the caller's thread.
// `unanswered`, when given, is set to what the drive refused (RefusalText)
// when the label is empty because the drive did not tell the disc's
// sessions or could not read the session's volume descriptors, and
// cleared otherwise; `refused`, when given, to that command's record.
std::u16string ReadVolumeLabelOfDisc(TSCSIDevice& Device, uint8_t SessionNo, std::string* unanswered = nullptr,
                                     TCommandFailure* refused = nullptr);

// A recorded volume identifier as a label: a Joliet one as UCS-2
// (big-endian, at most 16 units), any other as 8-bit text; cut at the
// first ";" or zero, without the spaces that pad it.
std::u16string DecodeVolumeLabel(std::span<const uint8_t, kVolumeIdentifierBytes> identifier,
                                 TNameEncoding encoding);

}  // namespace orvex

#endif  // ORVEX_SERVICES_VOLUME_LABEL_H_
