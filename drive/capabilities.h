// SPDX-License-Identifier: Apache-2.0
// What the selected drive can read and write, and how fast: the
// capabilities page (2Ah) in its default and current values, the
// underrun-protection page (30h), and the features of GET CONFIGURATION
// for the media the page does not cover (DVD+R, DVD+RW, DVD+R DL, DVD-RW,
// BD, HD DVD).  The flags stay as the last refresh left them; DeviceCan
// asks the drive nothing.
#ifndef ORVEX_DRIVE_CAPABILITIES_H_
#define ORVEX_DRIVE_CAPABILITIES_H_

#include <cstdint>
#include <optional>

#include "drive/medium.h"
#include "drive/scsi_device.h"

namespace orvex {

// Rereads the capabilities into ModePage2A and dc, and the speeds into the
// record.  False (every flag False) when page 2Ah cannot be read.  A page
// that is not where MMC puts it (after the 8-byte header, or after a block
// descriptor) stays zero; whatever arrived is read only within what arrived.
// A question met by a unit attention (a drive just powered on, reset or
// given a disc) is asked again (PastAttentions), so that the attention
// does not pass for a drive without the page.
bool RefreshCapabilities(TSCSIDevice& device);

// The flag an identifier names: 1 to 14 read flags, 21 to 32 write flags,
// 41 test write, 42 underrun protection; any other id is False.  Two ids
// are actions: 72 opens the debug log at `log_path` (true when created), 73
// closes it (true when one was open).
bool DeviceCan(TSCSIDevice& device, uint8_t id, const char* log_path);

// The drive writes at all: its capabilities page names a medium it writes.
bool DeviceIsBurner(const TSCSIDevice& device);

// Whether the drive says it can write `medium`, the medium in it, as far as
// it says anything.  A drive whose GET CONFIGURATION names that medium's
// profile as current answers by its write features for it (Incremental
// Streaming Writable, Random Writable, Restricted Overwrite, CD Track at
// Once and Mastering, DVD-R/-RW Write, BD Write, and the Write bit of the
// DVD+R, DVD+RW and DVD+R DL features): it writes the medium when one of
// them is current.  Otherwise, for CD-R, CD-RW, DVD-R and DVD-RAM, the
// write flags of its capabilities page answer.  Empty when the drive said
// neither (no profile or one that contradicts the medium, and no page that
// covers it): such a drive is not taken to refuse.  The last feature asked
// for is left in ConfigHeader.
std::optional<bool> DriveWritesMedium(TSCSIDevice& device, TMedium medium);

}  // namespace orvex

#endif  // ORVEX_DRIVE_CAPABILITIES_H_
