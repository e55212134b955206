// The consumer of an image job: takes the packets in order and writes them
// to the image file, then waits for the producer to end and reports the
// run's outcome through the write-done event, exactly once.
//
// ComponentStatus is 1 while writing, 9 after a failed write, 4 while the
// image file is closed, and 0 once the event is on its way.  A write that
// fails (a full disk, a file-size limit, an I/O error), or a close that
// reports lost data, fails the run with error 6 naming the image file.
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
  bool WriteFailed();

  TCDFiles& CDFiles;
};

}  // namespace orvex

#endif  // ORVEX_PIPELINE_WRITE_THREAD_H_
