// The image jobs: stream a prepared layout through the cache and write
// threads into an image file.
//
// A job's call returns once the write thread runs (true), or with false when
// nothing is being written: the image file cannot be created (error 3, no
// event), or the run stopped while the queue filled (an abort or a source
// error; the event has then reported the failure).  The outcome of a started
// job arrives through OnDone, exactly once.  The call blocks until the
// packet queue is full or holds the whole image.
#ifndef ORVEX_PIPELINE_WRITE_JOB_H_
#define ORVEX_PIPELINE_WRITE_JOB_H_

#include <string>

#include "pipeline/cd_files.h"

namespace orvex {

// Names longer than this (UTF-16 units) are refused.
constexpr size_t kMaxImageFileNameUnits = 4095;

// Creates (or replaces) the image file `FileName` and starts the job.
bool BuildISOImageW(TCDFiles& CDFiles, const std::u16string& FileName, TObject* Sender,
                    TWriteDoneEvent OnDone);

// The start routine shared by the jobs: generates the header, starts the
// cache thread, waits until the consumer may start, and starts it.
bool StartWriteJob(TCDFiles& CDFiles, TObject* Sender, TWriteDoneEvent OnDone);

}  // namespace orvex

#endif  // ORVEX_PIPELINE_WRITE_JOB_H_
