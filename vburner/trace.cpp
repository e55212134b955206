// SPDX-License-Identifier: Apache-2.0
#include "vburner/trace.h"

#include <algorithm>

namespace orvex::vburner {

std::shared_ptr<TraceFile> TraceFile::Open(const std::string& path, std::string& error) {
  FILE* f = std::fopen(path.c_str(), "a");
  if (f == nullptr) {
    error = "cannot open the trace file " + path;
    return nullptr;
  }
  return std::shared_ptr<TraceFile>(new TraceFile(f));
}

TraceFile::~TraceFile() { std::fclose(file_); }

void TraceFile::Append(const vb_address& drive, const vb_trace_entry& entry) {
  const std::string line = FormatTraceLine(drive, entry) + "\n";
  std::lock_guard<std::mutex> lock(mutex_);
  std::fputs(line.c_str(), file_);
  std::fflush(file_);
}

std::string FormatTraceLine(const vb_address& drive, const vb_trace_entry& e) {
  char text[64];
  std::snprintf(text, sizeof text, "%llu.%06llu %u:%u:%u", static_cast<unsigned long long>(e.time_us / 1000000),
                static_cast<unsigned long long>(e.time_us % 1000000), drive.ha, drive.target, drive.lun);
  std::string line = text;
  for (unsigned i = 0; i < e.cdb_length && i < sizeof e.cdb; ++i) {
    std::snprintf(text, sizeof text, " %02x", e.cdb[i]);
    line += text;
  }
  std::snprintf(text, sizeof text, " out %u in %u -> %02x %02x:%02x %02x/%02x/%02x", e.data_out_length,
                e.data_in_length, e.status, e.host_status, e.target_status, e.sense_key, e.asc, e.ascq);
  line += text;
  if (e.data_captured != 0) line += " |";
  for (unsigned i = 0; i < std::min(e.data_captured, 32u); ++i) {
    std::snprintf(text, sizeof text, " %02x", e.data[i]);
    line += text;
  }
  return line;
}

}  // namespace orvex::vburner
