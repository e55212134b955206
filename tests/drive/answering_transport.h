// SPDX-License-Identifier: Apache-2.0
// A transport without a drive behind it, for what the drive layer makes of
// an answer the burner does not give: every command ends with the same
// status and sense bytes, and the requests' addresses are kept.
#ifndef ORVEX_TESTS_DRIVE_ANSWERING_TRANSPORT_H_
#define ORVEX_TESTS_DRIVE_ANSWERING_TRANSPORT_H_

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "drive/scsi_device.h"
#include "drive/transport.h"

namespace orvex::test {

class AnsweringTransport : public TTransport {
 public:
  explicit AnsweringTransport(uint8_t status, std::vector<uint8_t> sense = {})
      : status_(status), sense_(std::move(sense)) {}

  uint8_t Send(TSCSIDevice&, TSRB_ExecSCSICmd& request) override {
    addresses.push_back({request.SRB_HaId, request.SRB_Target, request.SRB_Lun});
    std::copy(sense_.begin(), sense_.end(), request.SenseArea);
    return request.SRB_Status = status_;
  }
  void WaitFor(TSRB_ExecSCSICmd&) override {}

  // Host adapter, target and lun of every request sent.
  std::vector<std::array<uint8_t, 3>> addresses;

 private:
  uint8_t status_;
  std::vector<uint8_t> sense_;
};

}  // namespace orvex::test

#endif  // ORVEX_TESTS_DRIVE_ANSWERING_TRANSPORT_H_
