// SPDX-License-Identifier: Apache-2.0
// The text form of the command trace: one line per command, appended to
// the file that the `trace=` setting names.
#ifndef ORVEX_VBURNER_TRACE_H_
#define ORVEX_VBURNER_TRACE_H_

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "vburner/vburner.h"

namespace orvex::vburner {

class TraceFile {
 public:
  // Null with `error` set when the file cannot be opened for appending.
  static std::shared_ptr<TraceFile> Open(const std::string& path, std::string& error);
  ~TraceFile();
  TraceFile(const TraceFile&) = delete;
  TraceFile& operator=(const TraceFile&) = delete;

  // Thread-safe: drives share one file.
  void Append(const vb_address& drive, const vb_trace_entry& entry);

 private:
  explicit TraceFile(FILE* file) : file_(file) {}

  std::mutex mutex_;
  FILE* file_;
};

// "12.345678 0:1:0 2a 00 ... out 65536 in 0 -> 01 00:00 00/00/00 | 00 11 ..."
// time in seconds, address, CDB, data lengths, status, host and target
// status, sense key/ASC/ASCQ, and up to 32 captured data bytes.
std::string FormatTraceLine(const vb_address& drive, const vb_trace_entry& entry);

}  // namespace orvex::vburner

#endif  // ORVEX_VBURNER_TRACE_H_
