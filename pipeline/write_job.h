// SPDX-License-Identifier: Apache-2.0
// The image jobs: stream a prepared layout through the cache and write
// threads into a packet sink (an image file).
//
// A job's call returns once the write thread runs (true), or with false when
// nothing is being written: no current layout (error 1, no event), the
// image file cannot be created (error 3, no event), or the run stopped while
// the queue filled (an abort or a source error; the event has then reported
// the failure).  The outcome of a started job arrives through OnDone,
// exactly once.  The call blocks until the packet queue is full or holds the
// whole image.
#ifndef ORVEX_PIPELINE_WRITE_JOB_H_
#define ORVEX_PIPELINE_WRITE_JOB_H_

#include <functional>
#include <memory>
#include <string>

#include "pipeline/cd_files.h"

namespace orvex {

// Names longer than this (UTF-16 units) are refused.
constexpr size_t kMaxImageFileNameUnits = 4095;

// Writes the image file `FileName` (see image_file_sink.h for how an
// existing file is kept until the new image is complete) and starts the job.
// False, changing nothing, while a job runs.
bool BuildISOImageW(TCDFiles& CDFiles, const std::u16string& FileName, TObject* Sender,
                    TWriteDoneEvent OnDone);

// The start routine shared by the jobs: generates the header, starts the
// cache thread, waits until the consumer may start, and starts it.  `sink`
// takes the packets.  False, changing nothing, while a job runs.
bool StartWriteJob(TCDFiles& CDFiles, std::unique_ptr<TPacketSink> sink, TObject* Sender,
                   TWriteDoneEvent OnDone);

// Ends an image job on its last worker, once the producer has ended: frees
// the ring, lets the sink keep (`complete`) or drop what was written, sets
// ComponentStatus to 0 when `idle`, and reports through `report(failed)`.
// Returns whether the image was kept.
bool EndWriteJob(TCDFiles& CDFiles, bool complete, bool idle,
                 const std::function<void(bool failed)>& report);

}  // namespace orvex

#endif  // ORVEX_PIPELINE_WRITE_JOB_H_
