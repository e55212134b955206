// SPDX-License-Identifier: Apache-2.0
// The consumer of an image job: takes the packets in order and hands them
// to the job's packet sink, then waits for the producer to end and reports
// the run's outcome through the write-done event, exactly once.  The run
// succeeded only when every block of the image was written and nothing
// failed or stopped it.
//
// ComponentStatus is 1 while writing, 9 after a failed write, 7 once
// aborted, 4 while the sink closes, and 0 once the event is on its way.  A
// packet the sink cannot write fails the run with the sink's error (6 for
// an image file).
#ifndef ORVEX_PIPELINE_WRITE_THREAD_H_
#define ORVEX_PIPELINE_WRITE_THREAD_H_

#include "pipeline/cd_files.h"

namespace orvex {

class TWriteThread : public TObject {
 public:
  explicit TWriteThread(TCDFiles& CDFiles_) : CDFiles(CDFiles_) {}

  // The thread body.
  void Execute();

  bool ErrorInBurn = false;  // the run failed; the event's WriteFailed

 private:
  void WriteFailed(const TJobFailure& failure);

  TCDFiles& CDFiles;
};

}  // namespace orvex

#endif  // ORVEX_PIPELINE_WRITE_THREAD_H_
