// SPDX-License-Identifier: Apache-2.0
#include "services/volume_label.h"

#include <string_view>

#include "drive/command_names.h"
#include "drive/mmc_codes.h"
#include "drive/mmc_commands.h"
#include "platform/byte_order.h"
#include "platform/text_conversion.h"
#include "services/disc_session.h"
#include "services/volume_search.h"

namespace orvex {

namespace {

// The read `refusal` left the session without a volume, as the caller is told it.
void TellUnreadable(const TCommandFailure& refusal, std::string* unanswered, TCommandFailure* refused) {
  if (refused != nullptr) *refused = refusal;
  if (unanswered == nullptr) return;
  TSENSE sense{};
  sense.SenseKey = refusal.sense_key;
  sense.AddSenseCode = refusal.asc;
  sense.AddSenQual = refusal.ascq;
  *unanswered = RefusalText(refusal.opcode, sense);
}

}  // namespace

std::u16string ReadVolumeLabelOfDisc(TSCSIDevice& Device, uint8_t SessionNo, std::string* unanswered,
                                     TCommandFailure* refused) {
  if (unanswered != nullptr) unanswered->clear();
  if (refused != nullptr) *refused = {};
  const std::optional<int32_t> number = AnsweredSessionNumber(Device, SessionNo);
  if (!number) {
    if (unanswered != nullptr) *unanswered = RefusalText(mmc::kReadDiscInformation, Device.LastSenseInfo);
    if (refused != nullptr) *refused = Device.LastFailure;
    return {};
  }
  const std::optional<TDiscSession> session = LocateSession(Device, *number);
  if (!session) return {};
  TDiscSectorReader disc(Device, session->end);
  const std::optional<TVolumeTree> tree = FindVolumeTree(disc, session->start);
  if (!tree) {
    // A volume that could not be read is no volume missing.
    if (disc.Failure().failed) TellUnreadable(disc.Failure(), unanswered, refused);
    return {};
  }
  return DecodeVolumeLabel(tree->volume_identifier, tree->encoding);
}

std::u16string DecodeVolumeLabel(std::span<const uint8_t, kVolumeIdentifierBytes> identifier,
                                 TNameEncoding encoding) {
  std::u16string label;
  if (encoding == TNameEncoding::Ucs2) {
    for (size_t i = 0; i < identifier.size(); i += 2) {
      const auto unit = static_cast<char16_t>(GetBE16(&identifier[i]));
      if (unit == u';' || unit == 0) break;
      label += unit;
    }
  } else {
    std::string_view text(reinterpret_cast<const char*>(identifier.data()), identifier.size());
    label = Utf8ToUtf16(text.substr(0, text.find_first_of(std::string_view(";\0", 2))));
  }
  // Identifiers are padded with spaces to their field's end.
  label.erase(label.find_last_not_of(u' ') + 1);
  return label;
}

}  // namespace orvex
