// SPDX-License-Identifier: Apache-2.0
// Where the write thread puts the packets of a run: an image file or the
// disc in a drive.  The write thread takes each packet from the ring in
// image order, hands it to the sink, releases it and counts it; the sink
// alone knows its medium.
#ifndef ORVEX_PIPELINE_PACKET_SINK_H_
#define ORVEX_PIPELINE_PACKET_SINK_H_

#include <cstdint>

#include "pipeline/copy_source.h"
#include "pipeline/job_errors.h"

namespace orvex {

class TPacketSink {
 public:
  virtual ~TPacketSink() = default;

  // Readies the medium, on the write thread, before the first packet.
  // False fails the run before anything is written; Failure() says how.
  virtual bool Begin() { return true; }

  // Writes the next packet of the image: `size` bytes, whole sectors but
  // for the last packet of an existing image.  False fails the run;
  // Failure() then says how.
  virtual bool Write(const uint8_t* data, uint32_t size) = 0;

  // Whether a failed run leaves nothing of what it wrote (an image written
  // beside its target and removed).  A sink that writes in place, a disc
  // above all, cannot take back what a run wrote before it failed.
  virtual bool DiscardsFailedRuns() const { return false; }

  // Whether the sink takes ranges of source files (CopyRange) in place of
  // packets of their data.
  virtual bool CopiesRanges() const { return false; }

  // Writes `size` image bytes of `source` from `offset`: its data, and
  // zeros past its recorded size.  Only called where CopiesRanges().  False
  // fails the run (a source that cannot be read or ends early, error 5, or
  // the sink's write error).
  virtual bool CopyRange(TCopySource& /*source*/, uint64_t /*offset*/, uint32_t /*size*/) {
    return false;
  }

  // Ends the run, on the write thread, after the last packet or a failure:
  // `complete` when every block of the image was written and nothing
  // failed.  False when what was written cannot be kept (Failure() says why,
  // when the run had not failed already).
  virtual bool Finish(bool complete) = 0;

  const TJobFailure& Failure() const { return failure_; }

 protected:
  bool Fail(uint32_t error, std::u16string name, int system_error, const TCommandFailure& command = {}) {
    failure_ = {error, std::move(name), system_error, command};
    return false;
  }

 private:
  TJobFailure failure_;
};

}  // namespace orvex

#endif  // ORVEX_PIPELINE_PACKET_SINK_H_
