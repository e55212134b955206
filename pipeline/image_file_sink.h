// SPDX-License-Identifier: Apache-2.0
// The image file a run writes.  Nothing is lost when a run fails: a
// regular file (or a new one) is written under a temporary name beside it
// and renamed into place only when the image is complete, so a failure, an
// abort or a killed process never leaves a partial image under the name
// asked for, and an image that was there stays intact until the new one
// replaces it.  A symbolic link is followed: its target is replaced and the
// link stays.  A name that is neither a regular file nor a directory (a
// device, a pipe) is written directly and never removed.
//
// The temporary file is ".NAME.orvex-PID-N" in the same directory, so the
// rename never crosses file systems; the image gets the permissions of the
// file it replaces, or those a new file would get.
//
// The data of big source files reaches the image by a kernel copy, which
// shares blocks where the file system can; where the kernel refuses the
// pair of files, or copies short, the sink reads and writes instead.
#ifndef ORVEX_PIPELINE_IMAGE_FILE_SINK_H_
#define ORVEX_PIPELINE_IMAGE_FILE_SINK_H_

#include <memory>
#include <string>

#include "pipeline/packet_sink.h"
#include "platform/file.h"

namespace orvex {

class TImageFileSink final : public TPacketSink {
 public:
  // Opens the image file `name`; null with `failure` set (error 3) when it
  // cannot be created.
  static std::unique_ptr<TImageFileSink> Open(const std::u16string& name, TJobFailure& failure);
  ~TImageFileSink() override;

  bool Write(const uint8_t* data, uint32_t size) override;
  bool DiscardsFailedRuns() const override { return !temporary_.empty(); }
  bool CopiesRanges() const override { return true; }
  bool CopyRange(TCopySource& source, uint64_t offset, uint32_t size) override;
  bool Finish(bool complete) override;

 private:
  TImageFileSink(std::u16string name, TFile file, std::string temporary, std::string target)
      : name_(std::move(name)), file_(std::move(file)), temporary_(std::move(temporary)),
        target_(std::move(target)) {}

  // Reads `size` bytes of `source` from `offset` and writes them.
  bool ReadAndWrite(TCopySource& source, uint64_t offset, uint64_t size);

  std::u16string name_;    // as the caller gave it, for messages
  TFile file_;
  std::string temporary_;  // where the image is written; empty when written directly
  std::string target_;     // where it goes when complete
  bool kernel_copies_ = true;  // false once the kernel has no copy at all
  std::unique_ptr<uint8_t[]> buffer_;  // for reading and writing, once needed
};

}  // namespace orvex

#endif  // ORVEX_PIPELINE_IMAGE_FILE_SINK_H_
